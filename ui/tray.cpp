// The tray icon and its popup menu.
#include "app/program.h"

namespace vmkt {

const char* const k关于文本 = "----------------------------------\r\n"
                              "        Vemko迷你闹钟 V1.2\r\n"
                              "----------------------------------\r\n"
                              "\r\n"
                              "如使用中有任何问题，请反馈到：feedback@vemko.invalid\r\n"
                              "本工具永久免费，感谢使用！";

void Program::托盘双击() {
    窗口.setVisible(!窗口.visible());
}

// The menu is built from the model as it is now; a chosen item's event comes
// after the menu has closed and this handler has returned.
void Program::托盘右键() {
    if (MenuItem* chosen = platform().ui.popupMenu(*this))
        chosen->userSelect();
}

void Program::显示界面命令() {
    窗口.setVisible(true);
}

void Program::关于命令() {
    platform().ui.messageBox(k关于文本, k关于标题, BoxStyle::OkInformation);
}

void Program::退出软件命令() {
    关闭按钮单击();
}

} // namespace vmkt
