// The alarm falls due: the chosen action, the ring length, the ring monitor
// and the balloon.
#include "app/program.h"
#include "engine/conversions.h"

namespace vmkt {

// Separate tests of the action index, each reading the selection afresh.
void Program::闹铃响起() {
    if (组合框声音.selection() == 0)
        播放片段(铃声0, true);
    if (组合框声音.selection() == 1)
        播放片段(铃声1, true);
    if (组合框声音.selection() == 2)
        播放片段(铃声2, true);
    if (组合框声音.selection() == 4)
        platform().system.powerOff();
    if (组合框声音.selection() == 5) {
        标签2.setColour(kBlack);
        platform().system.suspend();
    }
    if (组合框声音.selection() == 6) {
        标签2.setColour(kBlack);
        platform().system.displayOff();
        // The display takes a moment to go dark; nothing is handled meanwhile.
        platform().ui.blockFor(1000);
        时钟闪烁.setPeriod(0);
        超级按钮开始.setCaption("开始");
    }
    闹铃剩余秒数 = 数值转整数(文本转数值(标签闹铃时长.caption()));
    // A monitor still running from an earlier ring keeps its phase.
    时钟监视变量.setPeriod(1000);
    if (气泡提醒.checked())
        弹出气泡();
}

void Program::显示到时提示() {
    标签2.setCaption("注意：到时间了！");
}

void Program::弹出气泡() {
    platform().ui.balloon("Vemko提醒：", "注意，到时间了！！！", 1, 0);
}

} // namespace vmkt
