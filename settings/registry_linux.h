// The settings store on Linux: registry keys become groups of INI files
// (QSettings), one file per scope, and the machine-wide autostart value
// becomes an XDG autostart entry.
//
//   CurrentUser  -> $XDG_CONFIG_HOME/VMKT/VMKT.ini          (~/.config by default)
//   LocalMachine -> <first of $XDG_CONFIG_DIRS>/VMKT/VMKT.ini (/etc/xdg by default)
//   LocalMachine "Software\Microsoft\Windows\CurrentVersion\Run", value "VMKT"
//                -> <first of $XDG_CONFIG_DIRS>/autostart/vmkt.desktop
//
// A key path such as "Software\VMKT" is the group Software/VMKT of its file.
// Every write re-reads the file and replaces it atomically, so values written
// by another instance are kept and a crash leaves the old file whole.
#pragma once

#include "app/platform.h"

#include <optional>
#include <string>

namespace vmkt {

class LinuxRegistry : public Registry {
public:
    // The directories come from the XDG environment variables, read now.
    LinuxRegistry();
    // Explicit directories: the user's configuration directory (in place of
    // $XDG_CONFIG_HOME) and the machine's (in place of $XDG_CONFIG_DIRS). An
    // empty one falls back to the environment.
    LinuxRegistry(std::string userConfigDir, std::string machineConfigDir);

    std::optional<std::string> readText(RegRoot root, const std::string &key,
                                        const std::string &name) override;
    bool writeText(RegRoot root, const std::string &key, const std::string &name,
                   const std::string &text) override;
    bool deleteValue(RegRoot root, const std::string &key, const std::string &name) override;
    bool deleteKey(RegRoot root, const std::string &key) override;

    std::string iniPath(RegRoot root) const;
    std::string autostartPath() const;

    // The Exec value of a desktop entry that runs the program at the path,
    // and back (nothing when the value holds no program).
    static std::string execFromPath(const std::string &path);
    static std::optional<std::string> pathFromExec(const std::string &exec);

private:
    std::string userDir_;
    std::string machineDir_;
};

} // namespace vmkt
