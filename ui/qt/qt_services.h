// The clock and the window timers of the Qt desktop program.
#pragma once

#include "app/platform.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace vmkt {

// Local wall time: milliseconds since the local midnight of 1970-01-01.
class QtClock : public Clock {
public:
    std::int64_t localMillis() override;
};

// When a periodic timer next falls due, given the instant it was due for,
// its period and the monotonic time now. Instants that went by while the
// program was busy are skipped, not made up, and the phase is kept.
std::int64_t nextDue(std::int64_t due, int period, std::int64_t now);

// One precise single-shot QTimer per model timer, re-armed at every tick for
// the next due instant on the monotonic clock, so that the period holds on
// average and a late tick does not shift the ones after it.
class QtTimers : public TimerService {
public:
    QtTimers();

    // Called on every tick, after the timer has been re-armed.
    std::function<void(TimerId)> onTick;

    void setPeriod(TimerId timer, int periodMs) override;
    bool running(TimerId timer) const;

private:
    struct Slot {
        QTimer timer;
        int period = 0;
        std::int64_t due = 0;
    };
    void fire(int index);

    QElapsedTimer monotonic_;
    Slot slots_[kTimerCount];
};

} // namespace vmkt
