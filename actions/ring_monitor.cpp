// While an alarm rings: the ring monitor ends the sound after the ring length
// (unless long ring is on), and the flash timer blinks the status text and
// brings the hidden bar back.
#include "app/program.h"

namespace vmkt {

void Program::监视变量周期() {
    闹铃剩余秒数 = static_cast<std::int32_t>(static_cast<std::uint32_t>(闹铃剩余秒数) - 1u);
    if (无操作时长鸣.checked())
        return;
    if (闹铃剩余秒数 > 0)
        return;
    停止全部声音();
    时钟监视变量.setPeriod(0);
    if (组合框1.selection() == 2) {
        时钟整点.setPeriod(1000);
        // The ring is over: the bar shows the time calmly until the next
        // firing starts the flashing again.
        时钟闪烁.setPeriod(0);
        标签2.setColour(kBlack);
    }
}

namespace {

Colour toggled(Colour c) {
    return c == kBlack ? kRed : kBlack;
}

} // namespace

void Program::闪烁周期() {
    标签2.setColour(toggled(标签2.colour()));
    if (!窗口.visible())
        窗口.setVisible(true);
    if (组合框1.selection() == 1) {
        标签设定.setColour(toggled(标签设定.colour()));
        时1.setColour(toggled(时1.colour()));
        分1.setColour(toggled(分1.colour()));
        秒1.setColour(toggled(秒1.colour()));
    }
}

} // namespace vmkt
