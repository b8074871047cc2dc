// The clock and the window timers of the Qt desktop program.
#pragma once

#include "app/platform.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

namespace vmkt {

// Local wall time: milliseconds since the local midnight of 1970-01-01.
class QtClock : public Clock {
public:
    std::int64_t localMillis() override;
};

// When a periodic timer next falls due, given the instant it was due for,
// its period and the monotonic time now (all in one unit). Instants that went
// by while the program was busy are skipped, not made up, and the phase is
// kept.
std::int64_t nextDue(std::int64_t due, std::int64_t period, std::int64_t now);

// One timer per model timer, re-armed at every tick for the next due instant
// on the monotonic clock, so that the period holds on average and a late tick
// does not shift the ones after it. Each is a timerfd watched by the event
// loop: it wakes the program within microseconds of the due instant, where a
// QTimer, even a precise one, comes up to a millisecond late. Should the
// system refuse a timerfd, that timer falls back to a precise QTimer.
class QtTimers : public TimerService {
public:
    QtTimers();
    ~QtTimers() override;
    QtTimers(const QtTimers&) = delete;
    QtTimers& operator=(const QtTimers&) = delete;

    // Called on every tick, after the timer has been re-armed.
    std::function<void(TimerId)> onTick;

    void setPeriod(TimerId timer, int periodMs) override;
    bool running(TimerId timer) const;

private:
    struct Slot {
        int fd = -1;
        std::unique_ptr<QSocketNotifier> notifier;
        QTimer fallback;
        std::int64_t period = 0; // microseconds; 0 while stopped
        std::int64_t due = 0;    // microseconds on the monotonic clock
    };
    void arm(Slot& s, std::int64_t now);
    void fire(int index);

    Slot slots_[kTimerCount];
};

} // namespace vmkt
