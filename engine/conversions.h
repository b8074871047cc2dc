// Conversions between texts and numbers, and the millisecond arithmetic of a
// countdown. Texts are UTF-8 byte strings; nothing here ever reports an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vmkt {

// Full-width forms of ASCII characters become ASCII; every other byte and
// character stays as it is (invalid UTF-8 included).
std::string 全角转半角(std::string_view text);

// Leading white space, one optional sign, then decimal digits accumulated with
// 32-bit wrap-around; 0 when no digit follows.
std::int32_t 文本转整数(std::string_view text);
// The longest leading decimal number (exponent letters e, E, d, D); 0 if none.
double 文本转数值(std::string_view text);
// "%d".
std::string 整数转文本(std::int32_t value);
// "%.13g".
std::string 数值转文本(double value);
// Truncation toward zero into 64 bits, low 32 bits taken; 0 beyond 64 bits.
std::int32_t 数值转整数(double value);

// h × 3 600 000 + m × 60 000 + s × 1 000, wrapped into 32 bits.
std::int32_t 计算毫秒(std::int32_t hour, std::int32_t minute, std::int32_t second);
// "H小时M分S秒" with each part truncated toward zero.
std::string 毫秒到文本(std::int32_t ms);

} // namespace vmkt
