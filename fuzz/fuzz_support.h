// What the fuzz targets share: a check that stops the run with a message, and
// a second locale to run the conversions under.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <string>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace vmkt::fuzz {

// Numbers as a German desktop writes them: a decimal comma and dots between
// groups of three digits.
struct CommaNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// While it lives, the C library runs in the Chinese locale (when installed)
// and the C++ global locale groups digits and writes a decimal comma.
class OtherLocale {
public:
    OtherLocale() {
        static const locale_t chinese = newlocale(LC_ALL_MASK, "zh_CN.UTF-8", locale_t{});
        static const std::locale comma(std::locale::classic(), new CommaNumbers);
        if (chinese)
            oldC_ = uselocale(chinese);
        oldCpp_ = std::locale::global(comma);
    }
    ~OtherLocale() {
        std::locale::global(oldCpp_);
        if (oldC_)
            uselocale(oldC_);
    }
    OtherLocale(const OtherLocale&) = delete;
    OtherLocale& operator=(const OtherLocale&) = delete;

private:
    locale_t oldC_{};
    std::locale oldCpp_;
};

} // namespace vmkt::fuzz
