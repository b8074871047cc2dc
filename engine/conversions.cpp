#include "engine/conversions.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vmkt {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the valid UTF-8 sequence at s[i], or 0 when the bytes there are not
// one (a stray continuation byte, a truncated or overlong sequence).
std::size_t sequenceLength(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// The ASCII character a full-width form stands for, or 0 to keep it. These are
// exactly the characters of the two-byte codes A3A1..A3FE, A1A1, A1AB, A1EE and
// A1EF of the Chinese code page; U+FF04 "＄" has another code there and stays.
char halfWidth(char32_t cp) {
    if (cp >= 0xFF01 && cp <= 0xFF5D && cp != 0xFF04)
        return static_cast<char>(cp - 0xFEE0);
    switch (cp) {
    case 0xFFE5: // ￥
        return '$';
    case 0xFFE3: // ￣
    case 0xFF5E: // ～
        return '~';
    case 0x3000: // ideographic space
        return ' ';
    case 0x2606: // ☆
    case 0x2605: // ★
        return '*';
    default:
        return 0;
    }
}

// Skips leading white space and one optional sign; tells whether it was "-".
bool skipBlanksAndSign(const std::string& text, std::size_t& i) {
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return text[i++] == '-';
    return false;
}

} // namespace

std::string 全角转半角(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out += text[i++];
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = sequenceLength(text, i, cp);
        if (len == 0) {
            out += text[i++];
            continue;
        }
        if (const char c = halfWidth(cp))
            out += c;
        else
            out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

std::int32_t 文本转整数(std::string_view input) {
    const std::string text = 全角转半角(input);
    std::size_t i = 0;
    const bool negative = skipBlanksAndSign(text, i);
    std::uint32_t value = 0;
    while (i < text.size() && isDigit(text[i]))
        value = value * 10u + static_cast<std::uint32_t>(text[i++] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<std::int32_t>(value);
}

double 文本转数值(std::string_view input) {
    const std::string text = 全角转半角(input);
    std::size_t i = 0;
    const bool negative = skipBlanksAndSign(text, i);

    // Collect the number in the plain form from_chars reads ("12.5e-3"),
    // which does not depend on the locale.
    std::string number;
    std::size_t intDigits = 0, fracDigits = 0;
    while (i < text.size() && isDigit(text[i]))
        number += text[i++], ++intDigits;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        std::string frac;
        while (j < text.size() && isDigit(text[j]))
            frac += text[j++], ++fracDigits;
        if (intDigits + fracDigits > 0) {
            number += '.';
            number += frac;
            i = j;
        }
    }
    if (intDigits + fracDigits == 0)
        return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exponent += text[j++];
        const std::size_t digitsAt = j;
        while (j < text.size() && isDigit(text[j]))
            exponent += text[j++];
        if (j > digitsAt)
            number += exponent;
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: as strtod, infinity or zero.
        // The magnitude's decimal exponent tells which.
        long exp10 = 0;
        const std::size_t ePos = number.find('e');
        if (ePos != std::string::npos) {
            long e = 0;
            const char* p = number.data() + ePos + 1;
            const char* last = number.data() + number.size();
            const bool minus = p < last && *p == '-';
            if (p < last && (*p == '+' || *p == '-'))
                ++p;
            for (; p < last; ++p)
                e = e < 100000000 ? e * 10 + (*p - '0') : e;
            exp10 = minus ? -e : e;
        }
        const std::string mantissa = number.substr(0, ePos);
        const std::size_t dot = mantissa.find('.');
        const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
        if (firstNonZero == std::string::npos) {
            value = 0.0;
        } else {
            const long intLen = static_cast<long>(dot == std::string::npos ? mantissa.size() : dot);
            // The first significant digit stands for 10^(position - 1).
            const long first = static_cast<long>(firstNonZero);
            const long position = first < intLen ? intLen - first : intLen - first + 1;
            value = position + exp10 > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        }
    }
    return negative ? -value : value;
}

std::string 整数转文本(std::int32_t value) {
    return std::to_string(value);
}

std::string 数值转文本(double value) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, end);
}

std::int32_t 数值转整数(double value) {
    // 2^63 is exactly representable; anything at or beyond it (and NaN) is out
    // of the 64-bit range.
    constexpr double limit = 9223372036854775808.0;
    if (!(value > -limit && value < limit))
        return 0;
    const auto wide = static_cast<std::int64_t>(value);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

std::int32_t 计算毫秒(std::int32_t hour, std::int32_t minute, std::int32_t second) {
    // Every intermediate value fits in 64 bits exactly; the wrap comes once.
    const std::int64_t sum =
        std::int64_t{hour} * 3600000 + std::int64_t{minute} * 60000 + std::int64_t{second} * 1000;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(sum)));
}

std::string 毫秒到文本(std::int32_t ms) {
    const std::int32_t hours = ms / 3600000;
    const std::int32_t minutes = (ms % 3600000) / 60000;
    const std::int32_t seconds = (ms % 60000) / 1000;
    return 整数转文本(hours) + "小时" + 整数转文本(minutes) + "分" + 整数转文本(seconds) + "秒";
}

} // namespace vmkt
