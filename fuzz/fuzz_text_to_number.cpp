// 文本转数值 on any bytes. Checked on every input:
//   - the result is what strtod makes of the decimal number at the start of
//     the half-width text (the exponent letters d and D read as e), bit for
//     bit, infinity and zero for what is out of range included;
//   - the text in full-width forms reads as the same number;
//   - 数值转文本 of a finite value reads back to the 13 digits it printed;
//   - nothing depends on the locale.
#include "engine/conversions.h"
#include "fuzz/fuzz_support.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace vmkt;

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// The number at the start of the text as a plain decimal for strtod: white
// space, a sign, digits with at most one point and at least one digit, and an
// exponent with at least one digit.
double viaStrtod(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0.0;
    std::string plain;
    if (text[i] == '+' || text[i] == '-')
        plain += text[i++];
    std::size_t digits = 0;
    for (; i < text.size() && digit(text[i]); ++digits)
        plain += text[i++];
    if (i < text.size() && text[i] == '.')
        plain += text[i++];
    for (; i < text.size() && digit(text[i]); ++digits)
        plain += text[i++];
    if (digits == 0)
        return 0.0;
    if (i < text.size() && std::string_view("eEdD").find(text[i]) != std::string_view::npos) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exponent += text[j++];
        const std::size_t digitsAt = j;
        while (j < text.size() && digit(text[j]))
            exponent += text[j++];
        if (j > digitsAt)
            plain += exponent;
    }
    return std::strtod(plain.c_str(), nullptr);
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// ASCII text in full-width forms (U+FF01..U+FF5E, the ideographic space for a
// blank); nothing when it holds a byte that has none.
std::optional<std::string> fullWidth(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        if (c == ' ') {
            out += "\u3000";
            continue;
        }
        if (c < 0x21 || c > 0x7D || c == '$')
            return std::nullopt;
        const char32_t cp = 0xFEE0 + static_cast<unsigned char>(c);
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

void checkPrinted(double x) {
    if (!std::isfinite(x))
        return;
    const std::string printed = 数值转文本(x);
    const double back = 文本转数值(printed);
    FUZZ_CHECK(数值转文本(back) == printed);
    FUZZ_CHECK(std::fabs(back - x) <=
               std::fabs(x) * 1e-12 + 2 * std::numeric_limits<double>::denorm_min());
    (void)数值转整数(x);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const double value = 文本转数值(input);
    FUZZ_CHECK(!std::isnan(value));
    FUZZ_CHECK(sameBits(value, viaStrtod(全角转半角(input))));
    if (const auto wide = fullWidth(input))
        FUZZ_CHECK(sameBits(文本转数值(*wide), value));
    checkPrinted(value);
    (void)数值转整数(value);

    double raw = 0;
    std::memcpy(&raw, data, size < sizeof raw ? size : sizeof raw);
    checkPrinted(raw);
    const std::string valueText = 数值转文本(value);
    const std::string rawText = 数值转文本(raw);

    {
        const fuzz::OtherLocale other;
        FUZZ_CHECK(sameBits(文本转数值(input), value));
        FUZZ_CHECK(数值转文本(value) == valueText);
        FUZZ_CHECK(数值转文本(raw) == rawText);
    }
    return 0;
}
