// parseScenario on any text. Checked on every input: the steps come in line
// order, none is empty, an error lies after the last step read; writing the
// steps out again (texts with quote()) reads back as the same steps; and any
// text written with quote() reads back as itself.
#include "fuzz/fuzz_support.h"
#include "sim/scenario.h"

#include <cstdint>
#include <string>
#include <string_view>

using vmkt::sim::parseScenario;
using vmkt::sim::quote;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const auto parsed = parseScenario(source);

    int lines = 1;
    for (char c : source)
        lines += c == '\n';
    int last = 0;
    std::string written;
    for (const auto& step : parsed.steps) {
        FUZZ_CHECK(step.line > last && step.line <= lines);
        FUZZ_CHECK(!step.tokens.empty());
        last = step.line;
        for (std::size_t i = 0; i < step.tokens.size(); ++i) {
            const auto& token = step.tokens[i];
            FUZZ_CHECK(token.quoted || !token.text.empty());
            written += i ? " " : "";
            written += token.quoted ? quote(token.text) : token.text;
        }
        written += '\n';
    }
    FUZZ_CHECK(parsed.error.empty() == (parsed.errorLine == 0));
    FUZZ_CHECK(parsed.errorLine == 0 || (parsed.errorLine > last && parsed.errorLine <= lines));

    const auto again = parseScenario(written);
    FUZZ_CHECK(again.error.empty());
    FUZZ_CHECK(again.steps.size() == parsed.steps.size());
    for (std::size_t s = 0; s < again.steps.size(); ++s) {
        const auto& a = again.steps[s].tokens;
        const auto& b = parsed.steps[s].tokens;
        FUZZ_CHECK(a.size() == b.size());
        for (std::size_t i = 0; i < a.size(); ++i)
            FUZZ_CHECK(a[i].quoted == b[i].quoted && a[i].text == b[i].text);
    }

    const auto quoted = parseScenario("paste 分1 " + quote(source));
    FUZZ_CHECK(quoted.error.empty() && quoted.steps.size() == 1);
    FUZZ_CHECK(quoted.steps[0].tokens.size() == 3 && quoted.steps[0].tokens[2].quoted);
    FUZZ_CHECK(quoted.steps[0].tokens[2].text == source);
    return 0;
}
