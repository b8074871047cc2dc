#include "app/system_linux.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

// Xlib's macros (Bool, Status, None, ...) clash with Qt: keep it last.
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace vmkt {

namespace {

// Calls a method of logind's manager on a thread of its own: connecting to a
// bus that does not answer can take the bus library's full timeout, and the
// caller must not wait for that. The call goes out with no reply expected, so
// a refusal changes nothing here.
void callLogind(const char *method) {
    try {
        std::thread([method] {
            // One connection of our own, made again once it is lost (the
            // shared system bus connection is never retried after a failure).
            static std::mutex mutex;
            const QString name = QStringLiteral("vmkt-logind");
            std::lock_guard lock(mutex);
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
        }).detach();
    } catch (const std::system_error &) {
        // No thread to be had: nothing happens, as with no bus.
    }
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
