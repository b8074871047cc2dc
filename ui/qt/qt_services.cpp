#include "ui/qt/qt_services.h"

#include <QDateTime>

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace vmkt {

std::int64_t QtClock::localMillis() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toMSecsSinceEpoch() + std::int64_t{now.offsetFromUtc()} * 1000;
}

std::int64_t nextDue(std::int64_t due, std::int64_t period, std::int64_t now) {
    if (period <= 0)
        return now;
    if (now < due)
        return due + period; // fired a little early: this tick stands for `due`
    const std::int64_t missed = (now - due) / period;
    return due + (missed + 1) * period;
}

namespace {

std::int64_t monotonicMicros() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1000000 + t.tv_nsec / 1000;
}

} // namespace

QtTimers::QtTimers() {
    for (int i = 0; i < kTimerCount; ++i) {
        Slot& s = slots_[i];
        s.fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (s.fd >= 0) {
            s.notifier = std::make_unique<QSocketNotifier>(s.fd, QSocketNotifier::Read);
            QObject::connect(s.notifier.get(), &QSocketNotifier::activated, [this, i] { fire(i); });
        }
        s.fallback.setSingleShot(true);
        s.fallback.setTimerType(Qt::PreciseTimer);
        QObject::connect(&s.fallback, &QTimer::timeout, [this, i] { fire(i); });
    }
}

QtTimers::~QtTimers() {
    for (Slot& s : slots_) {
        s.notifier.reset();
        if (s.fd >= 0)
            close(s.fd);
    }
}

void QtTimers::arm(Slot& s, std::int64_t now) {
    if (s.fd < 0) {
        if (s.period == 0)
            s.fallback.stop();
        else
            s.fallback.start(
                static_cast<int>(std::max<std::int64_t>(0, (s.due - now + 999) / 1000)));
        return;
    }
    itimerspec when{};
    if (s.period > 0) {
        when.it_value.tv_sec = static_cast<time_t>(s.due / 1000000);
        when.it_value.tv_nsec = static_cast<long>(s.due % 1000000 * 1000);
    }
    timerfd_settime(s.fd, TFD_TIMER_ABSTIME, &when, nullptr); // a zero time disarms
}

void QtTimers::setPeriod(TimerId timer, int periodMs) {
    Slot& s = slots_[static_cast<int>(timer)];
    s.period = periodMs > 0 ? std::int64_t{periodMs} * 1000 : 0;
    if (s.period == 0) {
        arm(s, 0);
        return;
    }
    const std::int64_t now = monotonicMicros();
    s.due = now + s.period;
    arm(s, now);
}

bool QtTimers::running(TimerId timer) const {
    return slots_[static_cast<int>(timer)].period > 0;
}

void QtTimers::fire(int index) {
    Slot& s = slots_[index];
    if (s.fd >= 0) {
        // Nothing to read: the timer was re-armed or stopped after it fell
        // due and before this tick came round; the expiry no longer counts.
        std::uint64_t expiries = 0;
        if (read(s.fd, &expiries, sizeof expiries) != sizeof expiries)
            return;
    }
    if (s.period == 0)
        return;
    const std::int64_t now = monotonicMicros();
    s.due = nextDue(s.due, s.period, now);
    arm(s, now);
    // The tick may change this timer's period; that write wins over the re-arm.
    if (onTick)
        onTick(static_cast<TimerId>(index));
}

} // namespace vmkt
