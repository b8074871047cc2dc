// Seven days of 整点 in virtual time with a short ring: the clock fires only
// inside the matching minutes, as often on the seventh day as on the first,
// and nothing piles up between the rings: no sound left sounding, no timer
// at a period of its own making, no box, one balloon per firing.
#include "app/platform_headless.h"
#include "app/program.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace vmkt {
namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kDay = 86400 * kSecond;
constexpr int kDays = 7;

TEST(Soak, SevenDaysOfHourlyShortRingsStayTheSame) {
    HeadlessPlatform world;
    world.registry().writeText(RegRoot::CurrentUser, "Software\\VMKT", "闹铃时长", "5");
    world.registry().writeText(RegRoot::CurrentUser, "Software\\VMKT", "气球提示", "1");
    world.setTimeOfDay(0);
    Program program(world.platform());
    world.attach(program);
    program.start();
    world.settle();
    program.组合框1.userChoose(2);
    world.settle();
    program.分1.userEdit("30");
    world.settle();
    program.超级按钮开始.userClick();
    world.settle();
    ASSERT_EQ(program.超级按钮开始.caption(), "停止");

    std::array<int, kDays> perDay{};
    std::array<int, 24> perHourOfFirstDay{};
    std::size_t plays = 0;
    int problems = 0; // the first few are reported, then the run stops
    const auto report = [&problems](bool ok) {
        problems += ok ? 0 : 1;
        return ok;
    };
    for (std::int64_t t = kSecond; t <= kDays * kDay && problems < 5; t += kSecond) {
        world.advance(kSecond);
        const std::int64_t wall = world.localMillis();
        const int day = static_cast<int>(wall / kDay);
        const int hour = static_cast<int>(wall % kDay / 3600000);
        const int minute = static_cast<int>(wall / 60000 % 60);
        const std::string when = "day " + std::to_string(day) + " " + std::to_string(hour) + ":" +
                                 std::to_string(minute) + ":" + std::to_string(wall / 1000 % 60);

        const auto now = static_cast<std::size_t>(world.sound().plays());
        if (now != plays) {
            EXPECT_TRUE(report(minute == 30)) << "fired outside the matching minute, " << when;
            EXPECT_TRUE(report(now == plays + 1)) << "more than one firing in a second, " << when;
            // The last second's firing belongs to the day it ends.
            const int d = wall % kDay == 0 ? day - 1 : day;
            if (d >= 0 && d < kDays)
                perDay[d] += static_cast<int>(now - plays);
            if (d == 0)
                perHourOfFirstDay[hour] += static_cast<int>(now - plays);
            plays = now;
        }
        const int sounding = world.sound().sounding();
        EXPECT_TRUE(report(sounding == 0 || sounding == 1)) << sounding << " sounding, " << when;
        for (int id = 0; id < kTimerCount; ++id) {
            const int period = world.timerPeriod(static_cast<TimerId>(id));
            EXPECT_TRUE(report(period == 0 || period == 250 || period == 1000))
                << "timer " << id << " at " << period << " ms, " << when;
        }
        if (minute != 30) {
            // Between the matching minutes the strip is calm and silent.
            EXPECT_TRUE(report(sounding == 0)) << when;
            EXPECT_TRUE(report(world.timerPeriod(TimerId::闪烁) == 0)) << when;
            EXPECT_TRUE(report(world.timerPeriod(TimerId::整点) == 1000)) << when;
        }
    }
    ASSERT_EQ(problems, 0);

    EXPECT_GT(perDay[0], 0);
    for (int d = 1; d < kDays; ++d)
        EXPECT_EQ(perDay[d], perDay[0]) << "day " << d;
    for (int h = 1; h < 24; ++h)
        EXPECT_EQ(perHourOfFirstDay[h], perHourOfFirstDay[0]) << "hour " << h;
    EXPECT_EQ(world.balloons().size(), plays);
    EXPECT_TRUE(world.boxes().empty());
    EXPECT_TRUE(world.takeProblems().empty());
    EXPECT_EQ(program.超级按钮开始.caption(), "停止");

    program.超级按钮开始.userClick();
    world.settle();
    EXPECT_EQ(world.sound().sounding(), 0);
    for (int id = 0; id < kTimerCount; ++id)
        EXPECT_EQ(world.timerPeriod(static_cast<TimerId>(id)), 0) << "timer " << id;
}

} // namespace
} // namespace vmkt
