// The Qt program's window timers on their own: the countdown's 1 s timer,
// the ring monitor's 1 s timer and the 250 ms flash timer armed together, as
// while an alarm rings, and every tick's instant on CLOCK_MONOTONIC.
//
//   vmkt-bench-timers-qt [SECONDS [each]]     (default 60; "each" lists every tick's error)
#include "ui/qt/qt_services.h"

#include "bench/tick_stats.h"

#include <QCoreApplication>
#include <QTimer>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

struct Armed {
    vmkt::TimerId id;
    const char* name;
    int periodMs;
    std::int64_t startNs = 0;
    std::vector<std::int64_t> ticks;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const bool each = argc > 2 && std::string(argv[2]) == "each";
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: vmkt-bench-timers-qt [SECONDS [each]]\n");
        return 2;
    }

    Armed armed[] = {
        {vmkt::TimerId::倒计, "倒计 (countdown)", 1000, 0, {}},
        {vmkt::TimerId::监视变量, "监视变量 (ring monitor)", 1000, 0, {}},
        {vmkt::TimerId::闪烁, "闪烁 (flash)", 250, 0, {}},
    };
    vmkt::QtTimers timers;
    timers.onTick = [&](vmkt::TimerId id) {
        const std::int64_t now = monotonicNs();
        for (Armed& a : armed)
            if (a.id == id)
                a.ticks.push_back(now);
    };
    // Armed from inside the event loop, as the program arms them from a click.
    QTimer::singleShot(0, [&] {
        for (Armed& a : armed) {
            a.startNs = monotonicNs();
            timers.setPeriod(a.id, a.periodMs);
        }
    });
    QTimer::singleShot(seconds * 1000 + 500, Qt::PreciseTimer, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();

    std::printf("Qt timers (QtTimers, timerfd), %d s\n\n", seconds);
    vmkt::bench::printTickHeader();
    for (const Armed& a : armed)
        vmkt::bench::printTickRow(a.name, a.periodMs,
                                  vmkt::bench::tickFigures(a.startNs, a.periodMs, a.ticks));
    if (each) {
        std::printf("\nEvery tick's error in ms:\n");
        for (const Armed& a : armed)
            vmkt::bench::printEachTick(a.name, a.startNs, a.periodMs, a.ticks);
    }
    return 0;
}
