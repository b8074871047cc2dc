// The start-up sequence: the handler of the window's created event. It
// restores the settings into the controls that hold them, brings the bar into
// the stored mode, selects the stored action, and shrinks and places the bar.
#include "app/program.h"

namespace vmkt {

void Program::启动序列() {
    恢复自启动();
    恢复气泡提醒();
    恢复长鸣();
    恢复闹铃时长();
    恢复默认功能();
    // A selection write raises no event, so the mode's presets are applied by
    // calling its handler directly, exactly as if the user had chosen it.
    组合框1选择();
    恢复默认事件();
    platform().ui.processPendingEvents();
    窗口.setHeight(22);
    窗口.setLeft(platform().ui.screenWidth() - 窗口.width() - 140);
    窗口.setTop(0);
    标签2.setCaption("提示：闹钟准备就绪！");
    停止.setDisabled(true);
}

} // namespace vmkt
