// Scenario files: one step per line, tokens separated by blanks, texts in
// double quotes with the escapes \" \\ \r \n \t.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vmkt::sim {

struct Token {
    bool quoted = false;
    std::string text;
};

struct Step {
    int line = 0;
    std::vector<Token> tokens;
};

struct ParseResult {
    std::vector<Step> steps;
    // The first syntax error, if any, and its line.
    int errorLine = 0;
    std::string error;
};

// Splits a scenario into steps. Blank lines and comment lines are skipped.
ParseResult parseScenario(std::string_view source);

// A text as a scenario writes it: quoted, with escapes.
std::string quote(std::string_view text);

} // namespace vmkt::sim
