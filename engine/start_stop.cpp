// The start/stop button: arms the alarm of the current mode, or disarms it.
// The caption of the button is the running flag: "开始" idle, "停止" running.
#include "app/program.h"
#include "engine/conversions.h"

namespace vmkt {

void Program::开始按钮单击() {
    if (超级按钮开始.caption() == "开始") {
        // A ring length of 3 seconds or less (or no number at all) is asked
        // about before anything starts.
        const double seconds = 文本转数值(标签闹铃时长.caption());
        if (seconds - 3.0 <= 0.0000001) {
            const BoxAnswer answer =
                platform().ui.messageBox("你的闹钟响铃时间太短，只有 " + 标签闹铃时长.caption() +
                                             " 秒，点“是”继续，点“否”返回操作。",
                                         "响铃时间过短", BoxStyle::YesNoQuestion);
            if (answer != BoxAnswer::Yes)
                return;
        }
    }

    // The mode is told by the combo box's text; each test reads the running
    // flag afresh.
    auto stop = [this](Timer& modeTimer) {
        停止全部声音();
        modeTimer.setPeriod(0);
        时钟闪烁.setPeriod(0);
        // The ring monitor ends with the alarm, so that it cannot later cut
        // off an unrelated sound or restart the hourly timer of an alarm the
        // user has stopped.
        时钟监视变量.setPeriod(0);
        标签2.setCaption("提示：闹钟已经停止！");
        标签2.setColour(kBlack);
        标签设定.setColour(kBlack);
    };
    auto unlock = [this] {
        组合框1.setDisabled(false);
        组合框声音.setDisabled(false);
        超级按钮开始.setTip("启动计时");
        停止.setDisabled(true);
    };
    auto lock = [this] {
        组合框1.setDisabled(true);
        组合框声音.setDisabled(true);
        超级按钮开始.setTip("终止计时");
        停止.setDisabled(false);
    };

    if (组合框1.text() == "倒计") {
        if (超级按钮开始.caption() == "开始") {
            倒计剩余毫秒 =
                计算毫秒(文本转整数(时1.text()), 文本转整数(分1.text()), 文本转整数(秒1.text()));
            标签2.setCaption("剩余：" + 毫秒到文本(倒计剩余毫秒));
            时钟倒计.setPeriod(1000);
            超级按钮开始.setCaption("停止");
            隐藏设定框();
            lock();
        } else {
            stop(时钟倒计);
            超级按钮开始.setCaption("开始");
            显示设定框();
            unlock();
        }
    }
    if (组合框1.text() == "指定") {
        if (超级按钮开始.caption() == "开始") {
            // The seconds the clock enters from now on are compared.
            const std::int64_t ms = platform().clock.localMillis();
            指定已比较到秒_ = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
            时钟指定.setPeriod(1000);
            超级按钮开始.setCaption("停止");
            // The entry area stays visible and editable while it runs.
            lock();
        } else {
            stop(时钟指定);
            时1.setColour(kBlack);
            分1.setColour(kBlack);
            秒1.setColour(kBlack);
            超级按钮开始.setCaption("开始");
            unlock();
            显示设定框();
        }
    }
    if (组合框1.text() == "整点") {
        if (超级按钮开始.caption() == "开始") {
            时钟整点.setPeriod(1000);
            超级按钮开始.setCaption("停止");
            隐藏设定框();
            lock();
        } else {
            stop(时钟整点);
            超级按钮开始.setCaption("开始");
            显示设定框();
            unlock();
        }
    }
}

} // namespace vmkt
