// The window model's rules for property writes and events.
#include "app/model.h"

#include <gtest/gtest.h>

#include <vector>

namespace vmkt {
namespace {

struct RecordingTimers : TimerService {
    std::vector<std::pair<TimerId, int>> calls;
    void setPeriod(TimerId timer, int periodMs) override { calls.emplace_back(timer, periodMs); }
};

struct ModelTest : ::testing::Test {
    RecordingTimers timers;
    Model model{timers};
};

TEST_F(ModelTest, InitialValuesFollowTheControlTable) {
    EXPECT_EQ(model.窗口.width(), 333);
    EXPECT_EQ(model.窗口.height(), 105);
    EXPECT_EQ(model.窗口.title(), "Vemko闹钟");
    EXPECT_EQ(model.标签设定.caption(), "     时    分    秒");
    EXPECT_FALSE(model.标签2.visible());
    EXPECT_EQ(model.分1.text(), "30");
    EXPECT_EQ(model.组合框声音.items().size(), 7u);
    EXPECT_EQ(model.组合框声音.text(), "Vemko叫");
    EXPECT_EQ(model.超级按钮开始.tip(), "启动计时");
    EXPECT_EQ(model.托盘图标1.tip(), "Vemko闹钟\r\n双击 显示/隐藏");
    EXPECT_EQ(model.标签闹铃时长.caption(), "180");
    for (TimerId id :
         {TimerId::倒计, TimerId::指定, TimerId::整点, TimerId::闪烁, TimerId::监视变量})
        EXPECT_EQ(model.timer(id).period(), 0);
    // The menu in order under its hidden top item.
    std::vector<std::string> captions;
    for (const MenuItem* m : model.menu())
        captions.push_back(m->caption() + ":" + std::to_string(m->level()));
    EXPECT_EQ(captions,
              (std::vector<std::string>{"右键:0", "显示界面:1", "软件设置:1", "随系统启动:2",
                                        "气泡提醒:2", "-:2", "无操作时长鸣:2", "设置闹铃时长:2",
                                        "-:1", "停止:1", "-:1", "关于:1", "退出软件:1"}));
    EXPECT_TRUE(model.右键.hidden());
}

TEST_F(ModelTest, FindsControlsTimersAndMenuItemsByName) {
    EXPECT_EQ(model.find("窗口"), &model.窗口);
    EXPECT_EQ(model.find("时钟闪烁"), &model.时钟闪烁);
    EXPECT_EQ(model.find("停止"), &model.停止);
    EXPECT_EQ(model.find("托盘图标1"), &model.托盘图标1);
    EXPECT_EQ(model.find("-"), nullptr);
    EXPECT_EQ(model.find("没有"), nullptr);
}

TEST_F(ModelTest, TimerWritesKeepThePhaseUnlessThePeriodChanges) {
    model.时钟倒计.setPeriod(1000);
    model.时钟倒计.setPeriod(1000); // same period: nothing at all
    model.时钟倒计.setPeriod(250);
    model.时钟倒计.setPeriod(-5); // counts as 0
    model.时钟倒计.setPeriod(0);  // already stopped
    EXPECT_EQ(timers.calls, (std::vector<std::pair<TimerId, int>>{
                                {TimerId::倒计, 1000}, {TimerId::倒计, 250}, {TimerId::倒计, 0}}));
}

TEST_F(ModelTest, TicksReachOnlyRunningTimers) {
    int ticks = 0;
    model.时钟闪烁.onTick = [&] {
        ++ticks;
    };
    model.tick(TimerId::闪烁); // stopped: a stale tick is dropped
    model.时钟闪烁.setPeriod(250);
    model.tick(TimerId::闪烁);
    EXPECT_EQ(ticks, 1);
}

TEST_F(ModelTest, EveryTextWriteRaisesTextChangedOnceAndSynchronously) {
    int raised = 0;
    model.秒1.onTextChanged = [&] {
        ++raised;
    };
    model.秒1.setText("0"); // the same text it holds
    EXPECT_EQ(raised, 1);
    model.秒1.setText("5");
    EXPECT_EQ(raised, 2);
}

TEST_F(ModelTest, TypingFilterTakesDigitsAndMinusOnly) {
    for (const char* ch : {"0", "9", "-"})
        EXPECT_TRUE(EditBox::acceptsTyped(ch)) << ch;
    for (const char* ch : {"a", " ", "+", ".", "５", "时", ""})
        EXPECT_FALSE(EditBox::acceptsTyped(ch)) << ch;
}

TEST_F(ModelTest, SelectionWritesClampAndRaiseNothing) {
    int raised = 0;
    model.组合框1.onItemSelected = [&] {
        ++raised;
    };
    const struct {
        std::int64_t written;
        int stored;
    } cases[] = {{1, 1}, {7, 2}, {-1, -1}, {-5, -1}, {2, 2}, {1LL << 40, 2}};
    for (const auto& c : cases) {
        model.组合框1.setSelection(c.written);
        EXPECT_EQ(model.组合框1.selection(), c.stored) << c.written;
    }
    model.组合框1.setSelection(-1);
    EXPECT_EQ(model.组合框1.text(), "");
    EXPECT_EQ(raised, 0);
    EXPECT_FALSE(model.hasQueued());
}

TEST_F(ModelTest, ChoosingAnItemIsQueuedAndReadsTheSelectionWhenItRuns) {
    std::vector<int> seen;
    model.组合框1.onItemSelected = [&] {
        seen.push_back(model.组合框1.selection());
    };
    model.组合框1.userChoose(0); // the item already selected still raises the event
    model.组合框1.userChoose(2);
    EXPECT_TRUE(seen.empty());
    model.runQueued();
    EXPECT_EQ(seen, (std::vector<int>{2, 2}));

    model.组合框1.setDisabled(true);
    model.组合框1.userChoose(1);
    EXPECT_FALSE(model.hasQueued());
    EXPECT_EQ(model.组合框1.selection(), 2);
}

TEST_F(ModelTest, QueuedEventsRunAfterTheRunningHandler) {
    std::vector<std::string> order;
    model.关于.onSelected = [&] {
        order.push_back("关于");
    };
    model.超级按钮最小化.onClicked = [&] {
        model.关于.userSelect();
        order.push_back("click end");
    };
    model.超级按钮最小化.userClick();
    model.runQueued();
    EXPECT_EQ(order, (std::vector<std::string>{"click end", "关于"}));
}

TEST_F(ModelTest, DisabledHiddenAndSeparatorItemsCannotBeChosen) {
    int chosen = 0;
    for (MenuItem* m : model.menu())
        m->onSelected = [&] {
            ++chosen;
        };
    model.停止.setDisabled(true);
    model.停止.userSelect();
    model.右键.userSelect();
    model.分隔线2.userSelect();
    model.runQueued();
    EXPECT_EQ(chosen, 0);
}

TEST_F(ModelTest, WindowGeometryIsLimited) {
    model.窗口.setLeft(-40000);
    model.窗口.setTop(40000);
    model.窗口.setWidth(-3);
    model.窗口.setHeight(99999);
    EXPECT_EQ(model.窗口.left(), -32627);
    EXPECT_EQ(model.窗口.top(), 32627);
    EXPECT_EQ(model.窗口.width(), 0);
    EXPECT_EQ(model.窗口.height(), 32627);
}

TEST_F(ModelTest, DestructionIsQueuedAndStopsEverything) {
    model.时钟闪烁.setPeriod(250);
    int ran = 0;
    model.关于.onSelected = [&] {
        ++ran;
    };
    model.requestDestroy();
    EXPECT_FALSE(model.destroyed());
    EXPECT_TRUE(model.destroyIfRequested());
    EXPECT_TRUE(model.destroyed());
    EXPECT_EQ(model.时钟闪烁.period(), 0);
    model.关于.userSelect();
    model.runQueued();
    EXPECT_EQ(ran, 0);
}

TEST_F(ModelTest, GenericPropertyAccess) {
    Value v;
    ASSERT_TRUE(model.get(model.组合框声音, "text", v));
    EXPECT_EQ(std::get<Text>(v), "Vemko叫");
    ASSERT_TRUE(model.get(model.标签2, "colour", v));
    EXPECT_EQ(std::get<std::int64_t>(v), 0);
    ASSERT_TRUE(model.get(model.停止, "disabled", v));
    EXPECT_FALSE(std::get<bool>(v));
    EXPECT_FALSE(model.get(model.标签2, "text", v)); // labels have captions
    EXPECT_FALSE(model.get(model.外形框1, "visible", v));
}

} // namespace
} // namespace vmkt
