// The desktop program: the clock's window model shown with Qt, on the Linux
// services (PulseAudio sound, settings files, power through logind).
#include "app/program.h"
#include "ui/qt/qt_services.h"
#include "ui/qt/view.h"

#include "actions/sound_pulse.h"
#include "app/system_linux.h"
#include "settings/registry_linux.h"

#include <QApplication>
#include <QIcon>
#include <QSessionManager>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool isSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Whether the program can reach a display; says why not on stderr.
bool findDisplay() {
    if (isSet("QT_QPA_PLATFORM"))
        return true; // the user chose the platform
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
        std::fputs("vmkt: no display found; run it on a desktop, or under xvfb-run\n", stderr);
        return false;
    }
    // The strip needs what only X11 gives it (a place of its own choosing,
    // always on top, out of the taskbar), so a Wayland session runs it
    // through XWayland.
    if (isSet("WAYLAND_DISPLAY") && !isSet("DISPLAY")) {
        std::fputs("vmkt: this Wayland session has no X11 (XWayland) display; "
                   "run it on an X11 desktop, or under xvfb-run\n",
                   stderr);
        return false;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int screen = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    if (!ok)
        std::fprintf(stderr, "vmkt: cannot open display %s\n", std::getenv("DISPLAY"));
    return ok;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vmkt-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char** argv) {
    if (!findDisplay())
        return 1;
    // The strip's repaints are a few kilobytes. Through shared memory each
    // one would first wait for the X server to finish with the last (a round
    // trip of a few milliseconds between a tick and the time shown); sent
    // over the socket they cost less and show at once. The user's choice
    // stands.
    if (!isSet("QT_XCB_NO_MITSHM"))
        setenv("QT_XCB_NO_MITSHM", "1", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vmkt"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vmkt"));
    // Hiding the strip closes no program; only destroying the window does.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(programIcon());

    vmkt::installQtTranslations();

    vmkt::PulseSoundOutput sound;
    vmkt::LinuxRegistry registry;
    vmkt::LinuxSystem system;
    vmkt::QtClock clock;
    vmkt::QtTimers timers;
    vmkt::QtView view(sound);
    vmkt::Platform platform{clock, timers, view, sound, registry, system};
    vmkt::Program program(platform);

    timers.onTick = [&](vmkt::TimerId id) {
        program.tick(id);
        view.settle();
    };
    view.onEnded = [] {
        QCoreApplication::exit(0);
    };
    // The end of the session asks like a close request; a No refuses it.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &view,
                     [&view](QSessionManager& manager) {
                         const bool asked = manager.allowsInteraction();
                         if (!view.closeRequest())
                             manager.cancel();
                         if (asked)
                             manager.release();
                     });

    view.attach(program);
    program.start();
    view.settle();
    if (program.destroyed())
        return 0;
    return QApplication::exec();
}
