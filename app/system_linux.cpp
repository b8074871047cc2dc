#include "app/system_linux.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

#include <filesystem>
#include <system_error>

// Xlib's macros (Bool, Status, None, ...) clash with Qt: keep it last.
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace vmkt {

namespace {

// Calls a method of logind's manager with no reply expected: nothing waits
// for logind, and a refusal changes nothing here. Connecting fails at once
// when there is no bus.
void callLogind(const char *method) {
    // A connection of our own, made again once lost: the shared system bus
    // connection is never retried after a failure.
    const QString name = QStringLiteral("vmkt-logind");
    QDBusConnection bus(name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        bus = QDBusConnection::connectToBus(QDBusConnection::SystemBus, name);
    }
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QString::fromLatin1(method));
    call << false; // interactive: no authentication dialog
    bus.send(call);
}

int ignoreXError(Display *, XErrorEvent *) {
    return 0;
}

} // namespace

std::string LinuxSystem::programPath() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

void LinuxSystem::powerOff() {
    callLogind("PowerOff");
}

void LinuxSystem::suspend() {
    callLogind("Suspend");
}

void LinuxSystem::displayOff() {
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return;
    }
    int eventBase = 0, errorBase = 0;
    if (DPMSQueryExtension(display, &eventBase, &errorBase) && DPMSCapable(display)) {
        // Xlib's default handler would end the program on a protocol error.
        const auto previous = XSetErrorHandler(ignoreXError);
        DPMSEnable(display);
        DPMSForceLevel(display, DPMSModeOff);
        XSync(display, False);
        XSetErrorHandler(previous);
    }
    XCloseDisplay(display);
}

} // namespace vmkt
