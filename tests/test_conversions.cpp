// The conversions between texts and numbers and the countdown arithmetic.
#include "engine/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace vmkt {
namespace {

TEST(文本转整数, Examples) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"12abc", 12},
        {"1.9", 1},
        {"  -7", -7},
        {"\t\n\v\f\r 5", 5},
        {"+3", 3},
        {"--3", 0},
        {"-", 0},
        {"- 3", 0},
        {"３０", 30},   // full-width digits
        {"－５", -5},   // full-width minus
        {"　４２", 42}, // ideographic space is white space
        {"＄5", 0},     // the full-width dollar is not a half-width form here
        {"2147483647", 2147483647},
        {"2147483648", -2147483647 - 1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"-2147483649", 2147483647},
        {"99999999999999999999", 1661992959},
        {"00012", 12},
        {"7\xff", 7},    // a stray byte ends the number and is harmless
        {"\xe4\xb8", 0}, // a truncated character at the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(文本转整数(c.text), c.value) << '"' << c.text << '"';
}

TEST(文本转整数, RoundTripsEvery32BitValue) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t v = any(random);
        ASSERT_EQ(文本转整数(整数转文本(v)), v);
    }
    EXPECT_EQ(文本转整数(整数转文本(std::numeric_limits<std::int32_t>::min())),
              std::numeric_limits<std::int32_t>::min());
}

TEST(全角转半角, MapsExactlyTheFullWidthForms) {
    EXPECT_EQ(全角转半角("！～"), "!~"); // U+FF01 and U+FF5E
    EXPECT_EQ(全角转半角("｝"), "}");    // U+FF5D, the last of the block
    EXPECT_EQ(全角转半角("｟"), "｟");   // U+FF5F is outside it
    EXPECT_EQ(全角转半角("￥￣　☆★"), "$~ **");
    EXPECT_EQ(全角转半角("＄"), "＄");
    EXPECT_EQ(全角转半角("时分秒"), "时分秒");
    EXPECT_EQ(全角转半角("a\x80\xc0\xaf"
                         "b"),
              "a\x80\xc0\xaf"
              "b"); // invalid UTF-8 stays
}

TEST(文本转数值, Examples) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"", 0.0},       {"abc", 0.0},   {"180", 180.0},      {"2.9", 2.9},    {"-5", -5.0},
        {" +2.5x", 2.5}, {".5", 0.5},    {"5.", 5.0},         {".", 0.0},      {"-.e5", 0.0},
        {"1e3", 1000.0}, {"2d2", 200.0}, {"2D-1", 0.2},       {"1E+2", 100.0}, {"1e", 1.0},
        {"1e+", 1.0},    {"３.５", 3.5}, {"1e-400", 0.0},     {"0x10", 0.0},   {"inf", 0.0},
        {"nan", 0.0},    {"3 秒", 3.0},  {"0.0000001", 1e-7},
    };
    for (const auto& c : cases)
        EXPECT_EQ(文本转数值(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(文本转数值("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(文本转数值("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(文本转数值("0.0001e-330"), 0.0);
}

TEST(数值转文本, PrintsThirteenSignificantDigits) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {31.0, "31"},
        {60.0, "60"},
        {2.5, "2.5"},
        {0.1, "0.1"},
        {-0.5, "-0.5"},
        {1234567890123.0, "1234567890123"},
        {12345678901234.0, "1.234567890123e+13"},
        {1e20, "1e+20"},
        {1.0 / 3.0, "0.3333333333333"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(数值转文本(c.value), c.text);
}

TEST(数值转整数, TruncatesAndWraps) {
    const struct {
        double value;
        std::int32_t result;
    } cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {0.0, 0},
        {2147483648.0, -2147483647 - 1},
        {4294967301.0, 5},
        {-4294967297.5, -1},
        {4611686018427387904.0 + 7.0 * 4294967296.0, 0},
        {1e19, 0},
        {-1e19, 0},
        {std::numeric_limits<double>::infinity(), 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(数值转整数(c.value), c.result) << c.value;
}

TEST(计算毫秒, Examples) {
    const struct {
        std::int32_t h, m, s, ms;
    } cases[] = {
        {0, 30, 0, 1800000},   {0, 90, 0, 5400000},     {0, 0, 0, 0},
        {-1, 0, 0, -3600000},  {596, 0, 0, 2145600000}, {597, 0, 0, -2145767296},
        {1194, 0, 0, 3432704}, {1, 0, 0, 3600000},      {0, 0, 61, 61000},
        {0, -1, 30, -30000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(计算毫秒(c.h, c.m, c.s), c.ms) << c.h << ' ' << c.m << ' ' << c.s;
}

// The three-step sum in double precision, each step truncated into 32 bits,
// and exact 64-bit arithmetic wrapped once agree everywhere.
TEST(计算毫秒, AgreesWithReferencesOverThe32BitRange) {
    std::mt19937 random(777);
    std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    std::uniform_int_distribution<std::int32_t> small(-100000, 100000);
    for (int i = 0; i < 20000; ++i) {
        const bool wide = i % 2 == 0;
        const std::int32_t h = wide ? any(random) : small(random);
        const std::int32_t m = wide ? any(random) : small(random);
        const std::int32_t s = wide ? any(random) : small(random);
        const std::int64_t exact =
            std::int64_t{h} * 3600000 + std::int64_t{m} * 60000 + std::int64_t{s} * 1000;
        const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(exact));
        std::int32_t stepped = 数值转整数(static_cast<double>(h) * 3600000.0);
        stepped = 数值转整数(static_cast<double>(stepped) + static_cast<double>(m) * 60000.0);
        stepped = 数值转整数(static_cast<double>(stepped) + static_cast<double>(s) * 1000.0);
        ASSERT_EQ(计算毫秒(h, m, s), wrapped) << h << ' ' << m << ' ' << s;
        ASSERT_EQ(stepped, wrapped) << h << ' ' << m << ' ' << s;
    }
}

TEST(毫秒到文本, Examples) {
    const struct {
        std::int32_t ms;
        const char* text;
    } cases[] = {
        {1800000, "0小时30分0秒"},
        {5400000, "1小时30分0秒"},
        {90000000, "25小时0分0秒"},
        {0, "0小时0分0秒"},
        {1500, "0小时0分1秒"},
        {59999, "0小时0分59秒"},
        {-1000, "0小时0分-1秒"},
        {-60000, "0小时-1分0秒"},
        {-61000, "0小时-1分-1秒"},
        {2147483647, "596小时31分23秒"},
        {-2147483647 - 1, "-596小时-31分-23秒"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(毫秒到文本(c.ms), c.text);
}

// Computing the parts in double precision with truncation gives the same
// digits for every 32-bit count.
TEST(毫秒到文本, AgreesWithADoubleReference) {
    std::mt19937 random(4242);
    std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t ms = any(random);
        const double d = ms;
        const auto h = static_cast<std::int32_t>(std::trunc(d / 3600000.0));
        const auto m = static_cast<std::int32_t>(std::trunc(std::fmod(d, 3600000.0) / 60000.0));
        const auto s = static_cast<std::int32_t>(std::trunc(std::fmod(d, 60000.0) / 1000.0));
        ASSERT_EQ(毫秒到文本(ms),
                  整数转文本(h) + "小时" + 整数转文本(m) + "分" + 整数转文本(s) + "秒");
    }
}

} // namespace
} // namespace vmkt
