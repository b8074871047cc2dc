#include "sim/scenario.h"

namespace vmkt::sim {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

ParseResult parseScenario(std::string_view source) {
    ParseResult result;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos <= source.size()) {
        std::size_t eol = source.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = source.size();
        const std::string_view line = source.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;

        Step step;
        step.line = lineNo;
        std::size_t i = 0;
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size() || line[i] == '#') {
            if (eol == source.size())
                break;
            continue;
        }
        while (i < line.size()) {
            if (isBlank(line[i])) {
                ++i;
                continue;
            }
            Token token;
            if (line[i] == '"') {
                token.quoted = true;
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    const char c = line[i++];
                    if (c == '"') {
                        closed = true;
                        break;
                    }
                    if (c != '\\') {
                        token.text += c;
                        continue;
                    }
                    if (i == line.size())
                        break;
                    const char e = line[i++];
                    switch (e) {
                    case '"':
                    case '\\':
                        token.text += e;
                        break;
                    case 'r':
                        token.text += '\r';
                        break;
                    case 'n':
                        token.text += '\n';
                        break;
                    case 't':
                        token.text += '\t';
                        break;
                    default:
                        result.errorLine = lineNo;
                        result.error = std::string("unknown escape \\") + e;
                        return result;
                    }
                }
                if (!closed) {
                    result.errorLine = lineNo;
                    result.error = "unterminated text";
                    return result;
                }
                if (i < line.size() && !isBlank(line[i])) {
                    result.errorLine = lineNo;
                    result.error = "text must be followed by a blank";
                    return result;
                }
            } else {
                while (i < line.size() && !isBlank(line[i]))
                    token.text += line[i++];
            }
            step.tokens.push_back(std::move(token));
        }
        result.steps.push_back(std::move(step));
        if (eol == source.size())
            break;
    }
    return result;
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

} // namespace vmkt::sim
