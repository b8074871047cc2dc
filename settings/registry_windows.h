// The settings store in the Windows registry, through the wide-character
// calls. Texts are UTF-8 inside the clock and UTF-16 in the registry.
#pragma once

#include "app/platform.h"

namespace vmkt {

class WindowsRegistry : public Registry {
public:
    std::optional<std::string> readText(RegRoot root, const std::string& key,
                                        const std::string& name) override;
    bool writeText(RegRoot root, const std::string& key, const std::string& name,
                   const std::string& text) override;
    bool deleteValue(RegRoot root, const std::string& key, const std::string& name) override;
    bool deleteKey(RegRoot root, const std::string& key) override;
};

} // namespace vmkt
