#include "ui/win32/timers_win32.h"

namespace vmkt {

namespace {

// A wake-up this close before its instant counts as on time: the system
// timer rounds to whole ticks of its own.
constexpr std::int64_t kSlackMs = 2;

UINT_PTR idOf(TimerId timer) {
    return static_cast<UINT_PTR>(timer) + 1;
}

} // namespace

bool TimerSchedule::fire(std::int64_t now) {
    if (period <= 0 || now + kSlackMs < due)
        return false;
    const std::int64_t late = now > due ? now - due : 0;
    due += (late / period + 1) * period;
    return true;
}

int TimerSchedule::wait(std::int64_t now) const {
    const std::int64_t left = due - now;
    return left < 1 ? 1 : static_cast<int>(left);
}

std::int64_t WindowsTimers::now() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart / frequency * 1000 + c.QuadPart % frequency * 1000 / frequency;
}

void WindowsTimers::setPeriod(TimerId timer, int periodMs) {
    TimerSchedule& s = schedules_[static_cast<int>(timer)];
    if (periodMs <= 0) {
        s.period = 0;
        if (window_)
            KillTimer(window_, idOf(timer));
        return;
    }
    const std::int64_t t = now();
    s.start(periodMs, t);
    if (window_)
        SetTimer(window_, idOf(timer), static_cast<UINT>(s.wait(t)), nullptr);
}

std::optional<TimerId> WindowsTimers::onTimer(UINT_PTR id) {
    if (id < 1 || id > static_cast<UINT_PTR>(kTimerCount))
        return std::nullopt;
    const auto timer = static_cast<TimerId>(id - 1);
    TimerSchedule& s = schedules_[id - 1];
    if (s.period <= 0) {
        KillTimer(window_, id);
        return std::nullopt;
    }
    const std::int64_t t = now();
    const bool ticks = s.fire(t);
    SetTimer(window_, id, static_cast<UINT>(s.wait(t)), nullptr);
    if (!ticks)
        return std::nullopt;
    return timer;
}

void WindowsTimers::stopAll() {
    for (int i = 0; i < kTimerCount; ++i) {
        schedules_[i].period = 0;
        if (window_)
            KillTimer(window_, static_cast<UINT_PTR>(i) + 1);
    }
}

} // namespace vmkt
