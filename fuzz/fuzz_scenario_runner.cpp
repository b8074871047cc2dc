// runScenario on any text: every step the driver knows, against a fresh
// headless world each time. Checked on every input: a scenario passes exactly
// when it reports nothing, every report is "LABEL:LINE: ...", and a second
// run of the same text reports the same (no state survives a world).
//
// Time is virtual, but each timer tick still costs real work: with the mode,
// flash and monitor timers running, a virtual hour is some twenty thousand
// ticks (about 15 ms here, with the sanitizers), a day half a million, and a
// wait of 10^18 ms would never end. The inputs are therefore bounded: at most
// 8 KiB of text (the longest scenario in the tests is 2 KiB) and at most two
// virtual hours of waiting in all ("wait MS" and "answer ... after MS"
// summed), so that one run stays well under a second. Other inputs are
// rejected and never enter the corpus; this leaves out the two day-long
// scenarios of the tests, but midnight and the next day are still reached
// through "clock", which moves the wall clock without waiting.
#include "fuzz/fuzz_support.h"
#include "sim/runner.h"
#include "sim/scenario.h"

#include <charconv>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kMaxBytes = 8192;
constexpr double kMaxWaitMs = 2 * 3600 * 1000.0;

// The milliseconds a step lets pass, read as the driver reads numbers.
double waited(const vmkt::sim::Step& step) {
    const auto& t = step.tokens;
    std::size_t at = 0;
    if (t.size() == 2 && !t[0].quoted && t[0].text == "wait")
        at = 1;
    else if (t.size() == 4 && !t[0].quoted && t[0].text == "answer" && t[2].text == "after")
        at = 3;
    if (at == 0 || t[at].quoted || t[at].text.empty())
        return 0;
    double ms = 0;
    const std::string& s = t[at].text;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), ms);
    if (ec != std::errc() || end != s.data() + s.size())
        return 0;
    return ms > 0 ? ms : 0;
}

std::string run(std::string_view source, bool& passed) {
    std::ostringstream out;
    passed = vmkt::sim::runScenario("f", source, out);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxBytes)
        return -1;
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    double total = 0;
    for (const auto& step : vmkt::sim::parseScenario(source).steps)
        total += waited(step);
    if (!(total <= kMaxWaitMs))
        return -1;

    bool passed = false;
    const std::string report = run(source, passed);
    FUZZ_CHECK(passed == report.empty());
    for (std::size_t at = 0; at < report.size();) {
        const std::size_t eol = report.find('\n', at);
        FUZZ_CHECK(eol != std::string::npos);
        const std::string_view line(report.data() + at, eol - at);
        FUZZ_CHECK(line.starts_with("f:"));
        const std::size_t colon = line.find(": ", 2);
        FUZZ_CHECK(colon != std::string_view::npos && colon > 2);
        FUZZ_CHECK(line.substr(2, colon - 2).find_first_not_of("0123456789") ==
                   std::string_view::npos);
        at = eol + 1;
    }

    bool again = false;
    FUZZ_CHECK(run(source, again) == report && again == passed);
    return 0;
}
