// The program's path and the power operations on Linux: systemd-logind on the
// system bus for power off and suspend, the X11 DPMS extension for the
// display. Every operation returns at once and reports nothing.
#pragma once

#include "app/platform.h"

#include <string>

namespace vmkt {

class LinuxSystem : public System {
public:
    // The executable's path from /proc/self/exe; empty when it cannot be read.
    std::string programPath() override;
    // org.freedesktop.login1.Manager.PowerOff(false), not waiting for a reply.
    void powerOff() override;
    // org.freedesktop.login1.Manager.Suspend(false), not waiting for a reply.
    void suspend() override;
    // DPMS "off" on the display named by $DISPLAY, when it has DPMS.
    void displayOff() override;
};

} // namespace vmkt
