// The settings: restored into the controls that hold them at start-up, and
// the four commands of the "软件设置" submenu. While the program runs each
// setting lives in its control; every change is written through at once.
#include "app/program.h"
#include "engine/conversions.h"

namespace vmkt {

// The entry names this program when it holds the program's path, or the form
// in which this platform writes it (quoted, where a path with spaces needs it).
void Program::恢复自启动() {
    const std::string stored = 读注册表文本(RegRoot::LocalMachine, kRunPath, "空");
    随系统启动.setChecked(stored == 程序路径() || stored == platform().system.autostartEntry());
}

void Program::恢复气泡提醒() {
    气泡提醒.setChecked(读注册表文本(RegRoot::CurrentUser, k气球提示, "空") == "1");
}

// Only the tick comes back; "设置闹铃时长" stays enabled until the command
// itself switches long ring on.
void Program::恢复长鸣() {
    无操作时长鸣.setChecked(读注册表文本(RegRoot::CurrentUser, k长鸣, "空") == "1");
}

void Program::恢复闹铃时长() {
    标签闹铃时长.setCaption(读注册表文本(RegRoot::CurrentUser, k闹铃时长, "180"));
}

// The selection write clamps and raises no event.
void Program::恢复默认功能() {
    const std::string stored = 读注册表文本(RegRoot::CurrentUser, k默认功能, "0");
    组合框1.setSelection(数值转整数(文本转数值(stored)));
}

void Program::恢复默认事件() {
    const std::string stored = 读注册表文本(RegRoot::CurrentUser, k默认事件, "0");
    组合框声音.setSelection(数值转整数(文本转数值(stored)));
}

// The direction follows the check mark alone, never what the store holds.
void Program::随系统启动命令() {
    if (随系统启动.checked()) {
        删除注册表项(RegRoot::LocalMachine, kRunPath);
        随系统启动.setChecked(false);
    } else {
        写注册表文本(RegRoot::LocalMachine, kRunPath, platform().system.autostartEntry());
        随系统启动.setChecked(true);
    }
}

void Program::气泡提醒命令() {
    if (气泡提醒.checked()) {
        删除注册表项(RegRoot::CurrentUser, k气球提示);
        气泡提醒.setChecked(false);
    } else {
        写注册表文本(RegRoot::CurrentUser, k气球提示, "1");
        气泡提醒.setChecked(true);
    }
}

// While long ring is switched on, the ring length cannot be changed.
void Program::无操作时长鸣命令() {
    if (无操作时长鸣.checked()) {
        删除注册表项(RegRoot::CurrentUser, k长鸣);
        无操作时长鸣.setChecked(false);
        设置闹铃时长.setDisabled(false);
    } else {
        写注册表文本(RegRoot::CurrentUser, k长鸣, "1");
        无操作时长鸣.setChecked(true);
        设置闹铃时长.setDisabled(true);
    }
}

// The text is used as entered: no trimming, no range check. A cancelled box
// leaves the ring length as it was and writes nothing.
void Program::设置闹铃时长命令() {
    const std::string initial = 标签闹铃时长.caption();
    const auto text = 询问文本("请输入闹铃的时长，单位为“秒”", "输入时间：", initial, true);
    if (text) {
        标签闹铃时长.setCaption(*text);
        写注册表文本(RegRoot::CurrentUser, k闹铃时长, *text);
    }
    platform().ui.processPendingEvents();
}

std::optional<std::string> Program::询问文本(const std::string& prompt, const std::string& title,
                                             const std::string& initial, bool wholeNumber) {
    return platform().ui.inputBox(prompt, title.empty() ? "请输入：" : title, initial, wholeNumber);
}

} // namespace vmkt
