// 文本转整数 and 全角转半角 on any bytes. Checked on every input:
//   - 全角转半角 keeps every byte that is not part of a well-formed UTF-8
//     character, turns a character into one ASCII byte or keeps it whole, so
//     it never lengthens the text, and a second pass changes nothing;
//   - 文本转整数 reads the half-width text as strtoll reads the decimal
//     number at its start, taken modulo 2^32;
//   - 文本转整数(整数转文本(x)) == x, in half-width and full-width digits;
//   - nothing depends on the locale.
#include "engine/conversions.h"
#include "fuzz/fuzz_support.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace vmkt;

// The length of the well-formed UTF-8 character at s[i], or 0. Written from
// the table of well-formed byte sequences in the Unicode standard (3.9).
std::size_t wellFormed(std::string_view s, std::size_t i) {
    const auto at = [&](std::size_t k) {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0x100;
    };
    const auto in = [](unsigned v, unsigned lo, unsigned hi) {
        return v >= lo && v <= hi;
    };
    const unsigned b0 = at(0), b1 = at(1), b2 = at(2), b3 = at(3);
    if (b0 <= 0x7F)
        return 1;
    if (in(b0, 0xC2, 0xDF))
        return in(b1, 0x80, 0xBF) ? 2 : 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (b0 == 0xE0)
        lo = 0xA0;
    if (b0 == 0xED)
        hi = 0x9F;
    if (in(b0, 0xE0, 0xEF))
        return in(b1, lo, hi) && in(b2, 0x80, 0xBF) ? 3 : 0;
    if (b0 == 0xF0)
        lo = 0x90;
    if (b0 == 0xF4)
        hi = 0x8F;
    if (in(b0, 0xF0, 0xF4))
        return in(b1, lo, hi) && in(b2, 0x80, 0xBF) && in(b3, 0x80, 0xBF) ? 4 : 0;
    return 0;
}

void checkHalfWidth(std::string_view in, const std::string& out) {
    FUZZ_CHECK(out.size() <= in.size());
    std::size_t o = 0;
    for (std::size_t i = 0; i < in.size();) {
        const std::size_t len = wellFormed(in, i);
        FUZZ_CHECK(o < out.size());
        if (len == 0 || len == 1) {
            // ASCII and bytes of no character stay as they are.
            FUZZ_CHECK(out[o] == in[i]);
            ++i, ++o;
        } else if (out.compare(o, len, in.substr(i, len)) == 0) {
            i += len, o += len;
        } else {
            FUZZ_CHECK(static_cast<unsigned char>(out[o]) < 0x80);
            i += len, ++o;
        }
    }
    FUZZ_CHECK(o == out.size());
}

// The decimal number strtoll finds at the start of the text, modulo 2^32.
// Only the last 32 digits count: 10^32 is a multiple of 2^32.
std::int32_t viaStrtoll(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    (void)std::strtoll(begin, &end, 10);
    const char* digits = end;
    while (digits > begin && digits[-1] >= '0' && digits[-1] <= '9' && end - digits < 32)
        --digits;
    const char* first = digits;
    while (first > begin && first[-1] >= '0' && first[-1] <= '9')
        --first;
    unsigned __int128 value = 0;
    for (const char* p = digits; p < end; ++p)
        value = value * 10 + static_cast<unsigned>(*p - '0');
    auto low = static_cast<std::uint32_t>(value);
    if (first > begin && first[-1] == '-')
        low = 0u - low;
    return static_cast<std::int32_t>(low);
}

// The text in full-width forms: U+FF01..U+FF5E for the printable ASCII
// characters.
std::string fullWidth(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        const char32_t cp = 0xFEE0 + static_cast<unsigned char>(c);
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

void checkRoundTrip(std::int32_t x) {
    const std::string text = 整数转文本(x);
    FUZZ_CHECK(文本转整数(text) == x);
    FUZZ_CHECK(文本转整数("\t " + text + "x") == x);
    FUZZ_CHECK(文本转整数("\u3000" + fullWidth(text)) == x); // ideographic space
    FUZZ_CHECK(文本转整数(" +" + fullWidth(text)) == x || x < 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const std::string half = 全角转半角(input);
    checkHalfWidth(input, half);
    FUZZ_CHECK(全角转半角(half) == half);

    const std::int32_t value = 文本转整数(input);
    FUZZ_CHECK(文本转整数(half) == value);
    FUZZ_CHECK(viaStrtoll(half) == value);
    checkRoundTrip(value);
    std::int32_t raw = 0;
    std::memcpy(&raw, data, size < sizeof raw ? size : sizeof raw);
    checkRoundTrip(raw);
    const std::string rawText = 整数转文本(raw);

    {
        const fuzz::OtherLocale other;
        FUZZ_CHECK(全角转半角(input) == half);
        FUZZ_CHECK(文本转整数(input) == value);
        FUZZ_CHECK(整数转文本(raw) == rawText);
    }
    return 0;
}
