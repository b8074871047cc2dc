#include "app/program.h"

namespace vmkt {

Program::Program(Platform& platform) : Model(platform.timers), platform_(platform) {
    route();
}

// The event routing table: every event that has a handler, and nothing else.
void Program::route() {
    窗口.onCreated = [this] {
        启动序列();
    };
    窗口.onCanBeClosed = [this] {
        return 窗口可否关闭();
    };
    for (EditBox* box : {&时1, &分1, &秒1}) {
        box->onTextChanged = [this, box] {
            时间框文本改变(*box);
        };
        box->onDoubleClicked = [this, box] {
            时间框双击(*box);
        };
    }
    组合框1.onItemSelected = [this] {
        组合框1选择();
    };
    组合框声音.onItemSelected = [this] {
        组合框声音选择();
    };
    超级按钮开始.onClicked = [this] {
        开始按钮单击();
    };
    超级按钮最小化.onClicked = [this] {
        最小化按钮单击();
    };
    超级按钮1.onClicked = [this] {
        关闭按钮单击();
    };
    时钟倒计.onTick = [this] {
        倒计时钟周期();
    };
    时钟指定.onTick = [this] {
        指定时钟周期();
    };
    时钟整点.onTick = [this] {
        整点时钟周期();
    };
    时钟闪烁.onTick = [this] {
        闪烁周期();
    };
    时钟监视变量.onTick = [this] {
        监视变量周期();
    };
    托盘图标1.onDoubleClicked = [this] {
        托盘双击();
    };
    托盘图标1.onRightReleased = [this] {
        托盘右键();
    };
    显示界面.onSelected = [this] {
        显示界面命令();
    };
    随系统启动.onSelected = [this] {
        随系统启动命令();
    };
    气泡提醒.onSelected = [this] {
        气泡提醒命令();
    };
    无操作时长鸣.onSelected = [this] {
        无操作时长鸣命令();
    };
    设置闹铃时长.onSelected = [this] {
        设置闹铃时长命令();
    };
    停止.onSelected = [this] {
        开始按钮单击();
    };
    关于.onSelected = [this] {
        关于命令();
    };
    退出软件.onSelected = [this] {
        退出软件命令();
    };
}

void Program::start() {
    if (started_)
        return;
    started_ = true;
    if (窗口.onCreated)
        窗口.onCreated();
    // The window is shown only now, already at its final height and place.
    窗口.setVisible(true);
}

} // namespace vmkt
