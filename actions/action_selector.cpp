// The action combo box: a sound item plays once as a preview, the separator
// steps back to the item above it, and every real choice is stored.
#include "app/program.h"

namespace vmkt {

// Separate tests, each reading the selection afresh.
void Program::组合框声音选择() {
    if (组合框声音.selection() == 0) {
        播放片段(铃声0);
        写注册表文本(RegRoot::CurrentUser, k默认事件, "0");
    }
    if (组合框声音.selection() == 1) {
        播放片段(铃声1);
        写注册表文本(RegRoot::CurrentUser, k默认事件, "1");
    }
    if (组合框声音.selection() == 2) {
        播放片段(铃声2);
        写注册表文本(RegRoot::CurrentUser, k默认事件, "2");
    }
    if (组合框声音.selection() == 3)
        组合框声音.setSelection(2); // raises no event: no preview, nothing stored
    if (组合框声音.selection() == 4)
        写注册表文本(RegRoot::CurrentUser, k默认事件, "4");
    if (组合框声音.selection() == 5)
        写注册表文本(RegRoot::CurrentUser, k默认事件, "5");
    if (组合框声音.selection() == 6)
        写注册表文本(RegRoot::CurrentUser, k默认事件, "6");
}

} // namespace vmkt
