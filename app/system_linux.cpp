#include "app/system_linux.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

// Xlib's macros (Bool, Status, None, ...) clash with Qt: keep it last.
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

namespace vmkt {

namespace {

// The socket of the system bus when its (first) address is a Unix socket;
// an abstract name starts with a NUL. Nothing for other transports.
std::optional<std::string> systemBusSocket() {
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::string address =
        env != nullptr && *env != '\0' ? env : "unix:path=/var/run/dbus/system_bus_socket";
    address = address.substr(0, address.find(';'));
    if (!address.starts_with("unix:"))
        return std::nullopt;
    // Values escape bytes as %XX.
    const auto unescape = [](const std::string& v) {
        std::string out;
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '%' && i + 2 < v.size()) {
                out += static_cast<char>(std::strtol(v.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else {
                out += v[i];
            }
        }
        return out;
    };
    std::size_t start = 5;
    while (start <= address.size()) {
        const std::size_t end = std::min(address.find(',', start), address.size());
        const std::string pair = address.substr(start, end - start);
        if (pair.starts_with("path="))
            return unescape(pair.substr(5));
        if (pair.starts_with("abstract=")) {
            // An abstract socket's name begins with a zero byte.
            std::string name = unescape(pair.substr(9));
            name.insert(name.begin(), '\0');
            return name;
        }
        start = end + 1;
    }
    return std::nullopt;
}

// Whether the bus daemon at the socket answers the first line of a
// connection within the time. A daemon that takes connections but never
// answers (stopped or hung) would hold the D-Bus library, and with it the
// user-interface thread, for its 25 seconds.
bool busAnswers(const std::string& path, int timeoutMs) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return true; // not ours to judge: the library tries
    std::memcpy(addr.sun_path, path.data(), path.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (path[0] != '\0'));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true;
    bool answered = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), length) == 0) {
        // An AUTH without a mechanism: the daemon answers with the ones it has.
        static const char kLine[] = "\0AUTH\r\n";
        if (send(fd, kLine, sizeof kLine - 1, MSG_NOSIGNAL) == sizeof kLine - 1) {
            pollfd p{fd, POLLIN, 0};
            answered = poll(&p, 1, timeoutMs) == 1;
        }
    }
    close(fd);
    return answered;
}

// Calls a method of logind's manager with no reply expected: nothing waits
// for logind, and a refusal changes nothing here. Connecting fails at once
// when there is no bus, and is not tried when the bus does not answer.
void callLogind(const char* method) {
    // A connection of our own, made again once lost: the shared system bus
    // connection is never retried after a failure.
    const QString name = QStringLiteral("vmkt-logind");
    QDBusConnection bus(name);
    if (!bus.isConnected()) {
        const auto socket = systemBusSocket();
        if (socket && !busAnswers(*socket, 1000))
            return;
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

int ignoreXError(Display*, XErrorEvent*) {
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
    Display* display = XOpenDisplay(nullptr);
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
