// The program's own path, the autostart entry and the power operations on
// Windows.
#pragma once

#include "app/platform.h"

#include <windows.h>

namespace vmkt {

class WindowsSystem : public System {
public:
    // The module file name of the running program.
    std::string programPath() override;
    // The path, in quotes when it holds a space: an unquoted path with spaces
    // in a Run entry lets Windows try to start a program named by its first
    // words. A path without spaces is stored bare.
    std::string autostartEntry() override;
    void powerOff() override;
    void suspend() override;
    void displayOff() override;

    // The window through which the display is switched off.
    void setWindow(HWND window) { window_ = window; }

    // The autostart entry for a given path.
    static std::string autostartEntryFor(const std::string& path);

private:
    HWND window_ = nullptr;
};

} // namespace vmkt
