#include "settings/registry_headless.h"

#include <algorithm>

namespace vmkt {

std::string HeadlessRegistry::fold(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

HeadlessRegistry::Key& HeadlessRegistry::create(RegRoot root, const std::string& key) {
    // Every key above it comes into being too.
    auto& keys = keys_[index(root)];
    for (std::size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
        keys[fold(key.substr(0, at))];
    return keys[fold(key)];
}

const HeadlessRegistry::Key* HeadlessRegistry::lookup(RegRoot root, const std::string& key) const {
    const auto& keys = keys_[index(root)];
    const auto it = keys.find(fold(key));
    return it == keys.end() ? nullptr : &it->second;
}

std::optional<std::string> HeadlessRegistry::readText(RegRoot root, const std::string& key,
                                                      const std::string& name) {
    return storedText(root, key, name);
}

bool HeadlessRegistry::writeText(RegRoot root, const std::string& key, const std::string& name,
                                 const std::string& text) {
    if (denied_[index(root)])
        return false;
    putText(root, key, name, text);
    ++writes_;
    return true;
}

bool HeadlessRegistry::deleteValue(RegRoot root, const std::string& key, const std::string& name) {
    if (denied_[index(root)])
        return false;
    auto& keys = keys_[index(root)];
    const auto k = keys.find(fold(key));
    if (k == keys.end())
        return false;
    return k->second.values.erase(fold(name)) > 0;
}

bool HeadlessRegistry::deleteKey(RegRoot root, const std::string& key) {
    if (denied_[index(root)] || key.empty())
        return false;
    auto& keys = keys_[index(root)];
    const std::string folded = fold(key);
    const auto it = keys.find(folded);
    if (it == keys.end())
        return false;
    const std::string prefix = folded + "\\";
    const bool hasSubkeys = std::any_of(keys.begin(), keys.end(), [&](const auto& entry) {
        return entry.first.compare(0, prefix.size(), prefix) == 0;
    });
    if (hasSubkeys)
        return false;
    keys.erase(it);
    return true;
}

void HeadlessRegistry::putOther(RegRoot root, const std::string& key, const std::string& name) {
    create(root, key).values[fold(name)] = Value{name, false, {}};
}

void HeadlessRegistry::putText(RegRoot root, const std::string& key, const std::string& name,
                               const std::string& text) {
    Key& k = create(root, key);
    auto it = k.values.find(fold(name));
    if (it != k.values.end())
        it->second = Value{it->second.name, true, text}; // the name keeps its first spelling
    else
        k.values[fold(name)] = Value{name, true, text};
}

void HeadlessRegistry::remove(RegRoot root, const std::string& key, const std::string& name) {
    auto& keys = keys_[index(root)];
    const auto k = keys.find(fold(key));
    if (k != keys.end())
        k->second.values.erase(fold(name));
}

bool HeadlessRegistry::keyExists(RegRoot root, const std::string& key) const {
    return lookup(root, key) != nullptr;
}

std::vector<std::string> HeadlessRegistry::valueNames(RegRoot root, const std::string& key) const {
    std::vector<std::string> names;
    if (const Key* k = lookup(root, key))
        for (const auto& [folded, value] : k->values)
            names.push_back(value.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> HeadlessRegistry::storedText(RegRoot root, const std::string& key,
                                                        const std::string& name) const {
    const Key* k = lookup(root, key);
    if (!k)
        return std::nullopt;
    const auto it = k->values.find(fold(name));
    if (it == k->values.end() || !it->second.isString)
        return std::nullopt;
    return it->second.text;
}

} // namespace vmkt
