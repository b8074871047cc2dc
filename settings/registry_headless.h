// A registry held in memory, with the Windows registry's meaning: keys and
// value names compare without regard to ASCII letter case, values have a
// type, writes create missing keys, and writes under a root can be denied.
#pragma once

#include "app/platform.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vmkt {

class HeadlessRegistry : public Registry {
public:
    std::optional<std::string> readText(RegRoot root, const std::string& key,
                                        const std::string& name) override;
    bool writeText(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& text) override;
    bool deleteValue(RegRoot root, const std::string& key, const std::string& name) override;
    bool deleteKey(RegRoot root, const std::string& key) override;

    // Set-up and inspection for tests and the scenario driver.
    void deny(RegRoot root) { denied_[index(root)] = true; }
    // Stores a value of a type other than a string (a number, say).
    void putOther(RegRoot root, const std::string& key, const std::string& name);
    void putText(RegRoot root, const std::string& key, const std::string& name,
                 const std::string& text);
    void remove(RegRoot root, const std::string& key, const std::string& name);
    bool keyExists(RegRoot root, const std::string& key) const;
    // The value names of a key, sorted by byte order.
    std::vector<std::string> valueNames(RegRoot root, const std::string& key) const;
    // The text of a string value as stored (no default), if there is one.
    std::optional<std::string> storedText(RegRoot root, const std::string& key,
                                          const std::string& name) const;
    int writes() const { return writes_; }

private:
    struct Value {
        std::string name;
        bool isString = true;
        std::string text;
    };
    struct Key {
        std::map<std::string, Value> values; // by folded name
    };
    static int index(RegRoot root) { return root == RegRoot::CurrentUser ? 0 : 1; }
    static std::string fold(const std::string& s);
    Key& create(RegRoot root, const std::string& key);
    const Key* lookup(RegRoot root, const std::string& key) const;

    std::map<std::string, Key> keys_[2]; // by folded path
    bool denied_[2] = {false, false};
    int writes_ = 0;
};

} // namespace vmkt
