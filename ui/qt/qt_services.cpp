#include "ui/qt/qt_services.h"

#include <QDateTime>

namespace vmkt {

std::int64_t QtClock::localMillis() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toMSecsSinceEpoch() + std::int64_t{now.offsetFromUtc()} * 1000;
}

std::int64_t nextDue(std::int64_t due, int period, std::int64_t now) {
    if (period <= 0)
        return now;
    if (now < due)
        return due + period; // fired a little early: this tick stands for `due`
    const std::int64_t missed = (now - due) / period;
    return due + (missed + 1) * period;
}

QtTimers::QtTimers() {
    monotonic_.start();
    for (int i = 0; i < kTimerCount; ++i) {
        QTimer& t = slots_[i].timer;
        t.setSingleShot(true);
        t.setTimerType(Qt::PreciseTimer);
        QObject::connect(&t, &QTimer::timeout, [this, i] { fire(i); });
    }
}

void QtTimers::setPeriod(TimerId timer, int periodMs) {
    Slot& s = slots_[static_cast<int>(timer)];
    s.period = periodMs > 0 ? periodMs : 0;
    if (s.period == 0) {
        s.timer.stop();
        return;
    }
    s.due = monotonic_.elapsed() + s.period;
    s.timer.start(s.period);
}

bool QtTimers::running(TimerId timer) const {
    return slots_[static_cast<int>(timer)].timer.isActive();
}

void QtTimers::fire(int index) {
    Slot& s = slots_[index];
    if (s.period == 0)
        return;
    const std::int64_t now = monotonic_.elapsed();
    s.due = nextDue(s.due, s.period, now);
    s.timer.start(static_cast<int>(s.due - now));
    // The tick may change this timer's period; that write wins over the re-arm.
    if (onTick)
        onTick(static_cast<TimerId>(index));
}

} // namespace vmkt
