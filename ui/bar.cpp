// The two small buttons at the right end of the bar, and the window's close
// request.
#include "app/program.h"

namespace vmkt {

void Program::最小化按钮单击() {
    窗口.setVisible(false);
}

void Program::关闭按钮单击() {
    if (超级按钮开始.caption() == "停止") {
        const BoxAnswer answer =
            platform().ui.messageBox(k关闭确认文本, k关闭确认标题, BoxStyle::YesNoWarning);
        if (answer != BoxAnswer::Yes)
            return;
    }
    requestDestroy();
}

// A close request from the system (the window manager, or the end of the
// session). No answer lets it go ahead; only deny keeps the window.
BoxAnswer Program::窗口可否关闭() {
    if (超级按钮开始.caption() != "停止") {
        requestDestroy();
        return BoxAnswer::None;
    }
    const BoxAnswer answer =
        platform().ui.messageBox(k关闭确认文本, k关闭确认标题, BoxStyle::YesNoWarning);
    return answer == BoxAnswer::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

} // namespace vmkt
