// Texts cross the Windows API as UTF-16; inside the clock they are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vmkt {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

} // namespace vmkt
