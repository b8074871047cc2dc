// The Qt program's window timers on their own: the countdown's 1 s timer,
// the ring monitor's 1 s timer and the 250 ms flash timer armed together, as
// while an alarm rings, and every tick's instant on CLOCK_MONOTONIC.
//
//   vmkt-bench-timers-qt [SECONDS [each]]     (default 60; "each" lists every tick's error)
#include "ui/qt/qt_services.h"

#include "bench/clock.h"
#include "bench/tick_stats.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using vmkt::bench::monotonicNs;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const bool each = argc > 2 && std::string(argv[2]) == "each";
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: vmkt-bench-timers-qt [SECONDS [each]]\n");
        return 2;
    }

    std::vector<vmkt::bench::ArmedTimer> armed = vmkt::bench::ringingTimers();
    vmkt::QtTimers timers;
    timers.onTick = [&](vmkt::TimerId id) {
        vmkt::bench::recordTick(armed, id, monotonicNs());
    };
    QTimer::singleShot(0, [&] {
        for (vmkt::bench::ArmedTimer& a : armed) {
            a.startNs = monotonicNs();
            timers.setPeriod(a.id, a.periodMs);
        }
    });
    QTimer::singleShot(seconds * 1000 + 500, Qt::PreciseTimer, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();

    char title[64];
    std::snprintf(title, sizeof title, "Qt timers (QtTimers, timerfd), %d s", seconds);
    vmkt::bench::printTimerReport(title, armed, each);
    return 0;
}
