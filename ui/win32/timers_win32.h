// The model's five timers as window timers. WM_TIMER comes on the system
// tick (about 15.6 ms), so a plain SetTimer of 1000 ms drifts by a tick or
// so every period. Each timer is therefore re-armed at every tick for its
// next due instant on the monotonic clock: the period holds on average, and
// a tick that comes late is not made up.
#pragma once

#include "app/platform.h"

#include <windows.h>

#include <cstdint>
#include <optional>

namespace vmkt {

// The schedule of one timer in milliseconds of the monotonic clock.
struct TimerSchedule {
    int period = 0; // 0: stopped
    std::int64_t due = 0;

    void start(int periodMs, std::int64_t now) {
        period = periodMs;
        due = now + periodMs;
    }
    // The system timer went off at now. Gives whether the timer ticks: an
    // early wake-up does not, a late one ticks once and skips every instant
    // it has missed. Afterwards due is the next instant on the timer's grid.
    bool fire(std::int64_t now);
    // Milliseconds until the next due instant, at least 1.
    int wait(std::int64_t now) const;
};

class WindowsTimers : public TimerService {
public:
    // Ticks arrive as WM_TIMER at the window, with identifiers 1 to 5.
    void setWindow(HWND window) { window_ = window; }
    void setPeriod(TimerId timer, int periodMs) override;
    // A WM_TIMER with this identifier arrived: gives the model timer that
    // ticks now, if any, after re-arming the system timer.
    std::optional<TimerId> onTimer(UINT_PTR id);
    void stopAll();

    // Milliseconds of the monotonic clock.
    static std::int64_t now();

private:
    HWND window_ = nullptr;
    TimerSchedule schedules_[kTimerCount];
};

} // namespace vmkt
