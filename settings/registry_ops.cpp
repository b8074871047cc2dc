// The three registry operations of the clock. A path is the key path, a
// backslash and the value name, as one text. No operation ever reports an
// error to the user.
#include "app/program.h"

namespace vmkt {

namespace {

// Splits at the last backslash. In UTF-8 a backslash byte is never part of a
// multi-byte character, so the byte search is exact.
std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace

std::string Program::读注册表文本(RegRoot root, const std::string& path,
                                  const std::string& fallback) {
    const auto [key, name] = splitPath(path);
    return platform().registry.readText(root, key, name).value_or(fallback);
}

bool Program::写注册表文本(RegRoot root, const std::string& path, const std::string& text) {
    const auto [key, name] = splitPath(path);
    return platform().registry.writeText(root, key, name, text);
}

// Removes the value; when there was none to remove, a key whose path is the
// whole text goes instead, if there is one.
bool Program::删除注册表项(RegRoot root, const std::string& path) {
    const auto [key, name] = splitPath(path);
    if (platform().registry.deleteValue(root, key, name))
        return true;
    return platform().registry.deleteKey(root, path);
}

std::string Program::程序路径() {
    return platform().system.programPath();
}

} // namespace vmkt
