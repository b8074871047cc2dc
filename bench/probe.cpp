// Watches a desktop and its sound server and acts on the desktop, all timed
// on CLOCK_MONOTONIC, for the benchmarks of the real programs. It prints one
// line per event on stdout:
//
//   ready NS                          watching
//   map WINDOW NS OVERRIDE WxH NAME   a top-level window was mapped
//   damage WINDOW NS                  a watched window was drawn on
//   click BEFORE_NS AFTER_NS          a click (below) was sent, and taken by the
//                                     server: it happened in between
//   now NS REALTIME_NS                both clocks at one instant
//   stream-new INDEX NS               a playback stream (sink input) came
//   stream-removed INDEX NS           ... and went
//   sound-on NS                       the first loud sample at the monitor
//   sound-off NS                      the last loud sample before a silence
//
// and takes commands on stdin, one a line:
//
//   move X Y        moves the pointer there
//   click           presses and releases button 1 where the pointer is
//   damage WINDOW   starts watching a window's drawing
//   now             prints both clocks
//   quit
//
//   vmkt-bench-probe         (DISPLAY and the sound server from the environment)
#include "bench/pulse_watch.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

namespace {

using vmkt::bench::monotonicNs;
using vmkt::bench::PulseWatch;

std::mutex outMutex;

void say(const char* format, ...) {
    std::lock_guard lock(outMutex);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

std::string windowName(Display* dpy, Window w) {
    const Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(dpy, w, netName, 0, 1024, False, utf8, &type, &format, &items, &after,
                           &data) == Success &&
        data) {
        name.assign(reinterpret_cast<const char*>(data), items);
        XFree(data);
    }
    if (name.empty()) {
        char* plain = nullptr;
        if (XFetchName(dpy, w, &plain) && plain) {
            name = plain;
            XFree(plain);
        }
    }
    for (char& c : name)
        if (c == '\n' || c == '\r')
            c = ' ';
    return name;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0; // windows come and go while they are looked at
}

} // namespace

int main() {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "vmkt-bench-probe: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    int eventBase = 0, errorBase = 0;
    int testEvent = 0, testError = 0, testMajor = 0, testMinor = 0;
    if (!XDamageQueryExtension(dpy, &eventBase, &errorBase) ||
        !XTestQueryExtension(dpy, &testEvent, &testError, &testMajor, &testMinor)) {
        std::fprintf(stderr, "vmkt-bench-probe: the display lacks DAMAGE or XTEST\n");
        return 1;
    }
    const Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);

    PulseWatch watch;
    watch.onEvent = [](const PulseWatch::Event& e) {
        switch (e.kind) {
        case PulseWatch::Kind::NewInput:
            say("stream-new %u %" PRId64 "\n", e.input, e.ns);
            break;
        case PulseWatch::Kind::RemovedInput:
            say("stream-removed %u %" PRId64 "\n", e.input, e.ns);
            break;
        case PulseWatch::Kind::SoundOn:
            say("sound-on %" PRId64 "\n", e.ns);
            break;
        case PulseWatch::Kind::SoundOff:
            say("sound-off %" PRId64 "\n", e.ns);
            break;
        }
    };
    std::string error;
    if (!watch.start(error)) {
        std::fprintf(stderr, "vmkt-bench-probe: no sound server: %s\n", error.c_str());
        return 1;
    }
    say("ready %" PRId64 "\n", monotonicNs());

    std::map<Window, Damage> damages;
    std::string pending;
    bool done = false;
    while (!done) {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            const std::int64_t now = monotonicNs();
            if (ev.type == MapNotify && ev.xmap.event == root) {
                XWindowAttributes a{};
                XGetWindowAttributes(dpy, ev.xmap.window, &a);
                say("map 0x%lx %" PRId64 " %d %dx%d %s\n", ev.xmap.window, now,
                    ev.xmap.override_redirect ? 1 : 0, a.width, a.height,
                    windowName(dpy, ev.xmap.window).c_str());
            } else if (ev.type == eventBase + XDamageNotify) {
                const auto& d = reinterpret_cast<const XDamageNotifyEvent&>(ev);
                XDamageSubtract(dpy, d.damage, None, None);
                say("damage 0x%lx %" PRId64 "\n", d.drawable, now);
            }
        }
        XFlush(dpy);

        pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            continue;
        if (!(fds[1].revents & (POLLIN | POLLHUP)))
            continue;
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::istringstream line(pending.substr(0, end));
            pending.erase(0, end + 1);
            std::string command;
            line >> command;
            if (command == "move") {
                int x = 0, y = 0;
                line >> x >> y;
                XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
                XSync(dpy, False);
            } else if (command == "click") {
                const std::int64_t before = monotonicNs();
                XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
                XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
                XSync(dpy, False);
                say("click %" PRId64 " %" PRId64 "\n", before, monotonicNs());
            } else if (command == "damage") {
                std::string id;
                line >> id;
                const Window w = std::strtoul(id.c_str(), nullptr, 0);
                if (w && !damages.count(w)) {
                    damages[w] = XDamageCreate(dpy, w, XDamageReportNonEmpty);
                    XSync(dpy, False);
                }
            } else if (command == "now") {
                const std::int64_t before = monotonicNs();
                timespec real{};
                clock_gettime(CLOCK_REALTIME, &real);
                const std::int64_t after = monotonicNs();
                say("now %" PRId64 " %" PRId64 "\n", before + (after - before) / 2,
                    std::int64_t{real.tv_sec} * 1000000000 + real.tv_nsec);
            } else if (command == "quit") {
                done = true;
            }
        }
    }
    watch.stop();
    XCloseDisplay(dpy);
    return 0;
}
