// The headless platform: timers in virtual time and the in-memory registry.
#include "app/platform_headless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace vmkt {
namespace {

struct VirtualTime : ::testing::Test {
    HeadlessPlatform world;
    Model model{world.platform().timers};
    std::vector<std::string> log;

    void SetUp() override {
        world.attach(model);
        for (Timer* t : {&model.时钟倒计, &model.时钟指定, &model.时钟整点, &model.时钟闪烁,
                         &model.时钟监视变量})
            t->onTick = [this, t] {
                log.push_back(t->name() + "@" + std::to_string(world.now()));
            };
    }
};

TEST_F(VirtualTime, RewritingThePeriodKeepsThePhaseAndAChangeRestarts) {
    model.时钟倒计.setPeriod(1000);
    world.advance(1500);
    model.时钟倒计.setPeriod(1000);
    world.advance(500);
    EXPECT_EQ(log, (std::vector<std::string>{"时钟倒计@1000", "时钟倒计@2000"}));
    log.clear();
    world.advance(300); // 2300
    model.时钟倒计.setPeriod(250);
    world.advance(500);
    EXPECT_EQ(log, (std::vector<std::string>{"时钟倒计@2550", "时钟倒计@2800"}));
}

TEST_F(VirtualTime, TiesGoByTheTimerTableAndTheEndOfTheSpanCounts) {
    model.时钟监视变量.setPeriod(1000);
    model.时钟闪烁.setPeriod(500);
    model.时钟倒计.setPeriod(1000);
    world.advance(1000);
    EXPECT_EQ(log, (std::vector<std::string>{"时钟闪烁@500", "时钟倒计@1000", "时钟闪烁@1000",
                                             "时钟监视变量@1000"}));
}

TEST_F(VirtualTime, ABlockedHandlerDelaysTicksWhichAreNotMadeUp) {
    model.时钟闪烁.setPeriod(250);
    model.时钟倒计.setPeriod(1000);
    bool blocked = false;
    model.时钟倒计.onTick = [this, &blocked] {
        log.push_back("时钟倒计@" + std::to_string(world.now()));
        if (!blocked)
            world.blockFor(1000);
        blocked = true;
    };
    world.advance(2250);
    // The flash ticks due from 1000 to 2000 come once, late, at 2000; the
    // phase holds for the next ones.
    EXPECT_EQ(log, (std::vector<std::string>{"时钟闪烁@250", "时钟闪烁@500", "时钟闪烁@750",
                                             "时钟倒计@1000", "时钟闪烁@2000", "时钟倒计@2000",
                                             "时钟闪烁@2250"}));
}

TEST_F(VirtualTime, WallClockMovesWithTimeAndCanBeSet) {
    EXPECT_EQ(world.localMillis(), 8 * 3600000);
    world.advance(1500);
    EXPECT_EQ(world.localMillis(), 8 * 3600000 + 1500);
    world.setTimeOfDay(23 * 3600000 + 59 * 60000 + 59000);
    world.advance(2000);
    EXPECT_EQ(world.localMillis() % 86400000, 1000);
    world.setTimeOfDay(0); // back to midnight of the new day
    EXPECT_EQ(world.localMillis(), 86400000);
}

TEST_F(VirtualTime, BoxesTakeQueuedAnswersAndReportMissingOnes) {
    world.queueAnswer({HeadlessPlatform::Reply::Yes, 0, {}});
    world.queueAnswer({HeadlessPlatform::Reply::InputTyped, 0, "1a-2b"});
    EXPECT_EQ(world.messageBox("text", "title", BoxStyle::YesNoQuestion), BoxAnswer::Yes);
    EXPECT_EQ(world.inputBox("prompt", "title", "180", true), std::optional<std::string>("1-2"));
    EXPECT_EQ(world.messageBox("again", "title", BoxStyle::YesNoQuestion), BoxAnswer::None);
    EXPECT_EQ(world.takeProblems(), (std::vector<std::string>{"unexpected box: title / again"}));
    EXPECT_EQ(world.boxes().size(), 3u);
}

TEST_F(VirtualTime, AModalBoxKeepsTimersTicking) {
    model.时钟倒计.setPeriod(1000);
    world.queueAnswer({HeadlessPlatform::Reply::No, 2500, {}});
    world.messageBox("text", "title", BoxStyle::YesNoWarning);
    EXPECT_EQ(log, (std::vector<std::string>{"时钟倒计@1000", "时钟倒计@2000"}));
    EXPECT_EQ(world.now(), 2500);
}

// Waits as long as a scenario can write them once overflowed the clock.
TEST_F(VirtualTime, WaitsStopAtTheEndOfTime) {
    constexpr auto forever = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t end = std::int64_t{1} << 62;
    world.advance(forever);
    world.advance(forever);
    EXPECT_EQ(world.now(), end);
    world.queueAnswer({HeadlessPlatform::Reply::Ok, forever, ""});
    EXPECT_EQ(world.messageBox("x", "t", BoxStyle::OkInformation), BoxAnswer::Ok);
    EXPECT_EQ(world.now(), end);
    EXPECT_EQ(world.localMillis(), end + 8 * 3600000);
}

TEST_F(VirtualTime, ProcessingPendingEventsRunsTheQueueButLeavesTheDestruction) {
    int ran = 0;
    model.post([&] { ++ran; });
    model.requestDestroy();
    world.processPendingEvents();
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(model.destroyed());
    world.settle();
    EXPECT_TRUE(model.destroyed());
}

TEST(HeadlessRegistry, BehavesAsTheWindowsRegistry) {
    HeadlessRegistry reg;
    const auto hkcu = RegRoot::CurrentUser;
    EXPECT_EQ(reg.readText(hkcu, "Software\\VMKT", "长鸣"), std::nullopt);
    EXPECT_FALSE(reg.keyExists(hkcu, "Software\\VMKT")); // reading creates nothing

    ASSERT_TRUE(reg.writeText(hkcu, "Software\\VMKT", "长鸣", "1"));
    EXPECT_TRUE(reg.keyExists(hkcu, "Software"));                 // parents come into being
    EXPECT_EQ(reg.readText(hkcu, "software\\vmkt", "长鸣"), "1"); // letter case does not count
    ASSERT_TRUE(reg.writeText(hkcu, "Software\\VMKT", "闹铃时长", ""));
    EXPECT_EQ(reg.readText(hkcu, "Software\\VMKT", "闹铃时长"), ""); // empty is not absent

    reg.putOther(hkcu, "Software\\VMKT", "默认功能");
    EXPECT_EQ(reg.readText(hkcu, "Software\\VMKT", "默认功能"), std::nullopt);
    ASSERT_TRUE(reg.writeText(hkcu, "Software\\VMKT", "默认功能", "2")); // replaces the other type
    EXPECT_EQ(reg.readText(hkcu, "Software\\VMKT", "默认功能"), "2");
    EXPECT_EQ(reg.valueNames(hkcu, "Software\\VMKT"),
              (std::vector<std::string>{"长鸣", "闹铃时长", "默认功能"}));

    EXPECT_TRUE(reg.deleteValue(hkcu, "Software\\VMKT", "长鸣"));
    EXPECT_FALSE(reg.deleteValue(hkcu, "Software\\VMKT", "长鸣"));
    EXPECT_FALSE(reg.deleteKey(hkcu, "Software")); // it has a subkey
    EXPECT_TRUE(reg.deleteKey(hkcu, "Software\\VMKT"));
    EXPECT_FALSE(reg.keyExists(hkcu, "Software\\VMKT"));

    reg.deny(RegRoot::LocalMachine);
    EXPECT_FALSE(reg.writeText(RegRoot::LocalMachine, "Software\\X", "VMKT", "p"));
    EXPECT_FALSE(reg.keyExists(RegRoot::LocalMachine, "Software\\X"));
    EXPECT_TRUE(reg.writeText(hkcu, "Software\\X", "VMKT", "p")); // only that root is denied
}

} // namespace
} // namespace vmkt
