// The modal one-line input box, from a dialog template built in memory.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vmkt {

// Control identifiers of the box, beside IDOK and IDCANCEL.
inline constexpr int kInputPromptId = 100;
inline constexpr int kInputEditId = 101;

// Asks for one line of text: centred, the prompt above the edit box, which
// starts with the initial text all selected. With wholeNumber, of the typed
// characters only the digits and "-" are taken; pasting is not filtered.
// Gives the text when confirmed, nothing when cancelled or closed.
std::optional<std::wstring> askText(HINSTANCE instance, HWND owner, const std::wstring& prompt,
                                    const std::wstring& title, const std::wstring& initial,
                                    bool wholeNumber);

// Whether the typing filter of a whole-number field takes this character
// (control characters such as Backspace and the clipboard keys always pass).
bool takesTypedChar(wchar_t c);

} // namespace vmkt
