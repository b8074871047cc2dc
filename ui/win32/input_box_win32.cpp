#include "ui/win32/input_box_win32.h"

#include <commctrl.h>

#include <vector>

namespace vmkt {

namespace {

// A DLGTEMPLATE with its items, laid out word by word.
class Template {
public:
    void dialog(DWORD style, short cx, short cy, const wchar_t* title, WORD points,
                const wchar_t* font, WORD items) {
        dword(style);
        dword(0);
        words_.push_back(items);
        for (short v : {short(0), short(0), cx, cy})
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(0); // no menu
        words_.push_back(0); // the standard dialog class
        text(title);
        words_.push_back(points);
        text(font);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              const wchar_t* title) {
        while (words_.size() % 2)
            words_.push_back(0); // each item starts on a DWORD boundary
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        for (short v : {x, y, cx, cy})
            words_.push_back(static_cast<WORD>(v));
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        text(title);
        words_.push_back(0); // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void dword(DWORD v) {
        words_.push_back(LOWORD(v));
        words_.push_back(HIWORD(v));
    }
    void text(const wchar_t* s) {
        for (; *s; ++s)
            words_.push_back(static_cast<WORD>(*s));
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

struct Request {
    const std::wstring& prompt;
    const std::wstring& title;
    const std::wstring& initial;
    bool wholeNumber;
    std::wstring result;
};

LRESULT CALLBACK filterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_CHAR && !takesTypedChar(static_cast<wchar_t>(wp)))
        return 0;
    if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, filterProc, id);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        auto* r = reinterpret_cast<Request*>(lp);
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
        if (!r->title.empty())
            SetWindowTextW(dlg, r->title.c_str());
        SetDlgItemTextW(dlg, kInputPromptId, r->prompt.c_str());
        HWND edit = GetDlgItem(dlg, kInputEditId);
        SetWindowTextW(edit, r->initial.c_str());
        if (r->wholeNumber)
            SetWindowSubclass(edit, filterProc, 1, 0);
        SetForegroundWindow(dlg);
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return FALSE; // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            auto* r = reinterpret_cast<Request*>(GetWindowLongPtrW(dlg, DWLP_USER));
            HWND edit = GetDlgItem(dlg, kInputEditId);
            std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(
                GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
            r->result = std::move(text);
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

bool takesTypedChar(wchar_t c) {
    if (c < 0x20 || c == 0x7F)
        return true;
    return (c >= L'0' && c <= L'9') || c == L'-';
}

std::optional<std::wstring> askText(HINSTANCE instance, HWND owner, const std::wstring& prompt,
                                    const std::wstring& title, const std::wstring& initial,
                                    bool wholeNumber) {
    Template t;
    t.dialog(DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
                 WS_SYSMENU,
             220, 70, L"请输入：", 9, L"MS Shell Dlg", 4);
    t.item(SS_LEFT | SS_NOPREFIX, 7, 7, 206, 18, kInputPromptId, 0x0082, L"");
    t.item(ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 28, 206, 13, kInputEditId, 0x0081,
           L"");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 49, 64, 14, IDOK, 0x0080, L"确认输入(&O)");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 157, 49, 56, 14, IDCANCEL, 0x0080, L"取消(&C)");
    Request request{prompt, title, initial, wholeNumber, {}};
    const INT_PTR answer = DialogBoxIndirectParamW(instance, t.get(), owner, dialogProc,
                                                   reinterpret_cast<LPARAM>(&request));
    if (answer != IDOK)
        return std::nullopt;
    return request.result;
}

} // namespace vmkt
