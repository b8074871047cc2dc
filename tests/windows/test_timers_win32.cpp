// The re-arming of the window timers: the period holds on average although
// each WM_TIMER comes a little late, and a late tick is not made up.
#include "ui/win32/timers_win32.h"

#include <gtest/gtest.h>

namespace vmkt {
namespace {

TEST(TimerSchedule, LateWakeUpsKeepTheGrid) {
    TimerSchedule s;
    s.start(1000, 0);
    // Each wake-up comes one system tick late; the next wait is shortened by
    // as much, so the instants stay at whole seconds.
    for (int k = 1; k <= 50; ++k) {
        const std::int64_t woke = k * 1000 + 15;
        ASSERT_TRUE(s.fire(woke)) << k;
        EXPECT_EQ(s.due, (k + 1) * 1000) << k;
        EXPECT_EQ(s.wait(woke), 985) << k;
    }
}

TEST(TimerSchedule, EarlyAndBlockedWakeUps) {
    struct Case {
        std::int64_t woke;
        bool ticks;
        std::int64_t nextDue;
    };
    // Period 250 started at 0: first instant 250.
    const Case cases[] = {
        {240, false, 250},  // early: no tick, same instant
        {249, true, 500},   // within the rounding slack of the system timer
        {500, true, 750},   // on time
        {1900, true, 2000}, // blocked past 750 .. 1750: one tick, the missed ones skipped
        {2000, true, 2250},
    };
    TimerSchedule s;
    s.start(250, 0);
    for (const Case& c : cases) {
        EXPECT_EQ(s.fire(c.woke), c.ticks) << c.woke;
        EXPECT_EQ(s.due, c.nextDue) << c.woke;
        EXPECT_GE(s.wait(c.woke), 1);
    }
    s.period = 0;
    EXPECT_FALSE(s.fire(5000)); // a stopped timer never ticks
}

} // namespace
} // namespace vmkt
