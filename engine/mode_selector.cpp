// The mode selector: choosing a mode presets the fields, shows the entry area
// and stores the choice for the next start.
#include "app/program.h"
#include "engine/conversions.h"

namespace vmkt {

// Three separate tests, each reading the selection afresh.
void Program::组合框1选择() {
    if (组合框1.selection() == 0) {
        时1.setText("0");
        分1.setText("30");
        秒1.setText("0");
        显示设定框();
        写注册表文本(RegRoot::CurrentUser, k默认功能, "0");
    }
    if (组合框1.selection() == 1) {
        标签2.setVisible(false);
        时1.setText(当前小时文本());
        // The minute is not carried into the hour: at minute 59 this is "60".
        分1.setText(数值转文本(文本转数值(当前分钟文本()) + 1.0));
        秒1.setText("0");
        显示设定框();
        写注册表文本(RegRoot::CurrentUser, k默认功能, "1");
    }
    if (组合框1.selection() == 2) {
        标签2.setCaption("");
        时1.setText("0");
        分1.setText("0");
        秒1.setText("0");
        显示设定框();
        写注册表文本(RegRoot::CurrentUser, k默认功能, "2");
    }
}

void Program::显示设定框() {
    标签设定.setVisible(true);
    时1.setVisible(true);
    分1.setVisible(true);
    秒1.setVisible(true);
    标签2.setVisible(false);
}

void Program::隐藏设定框() {
    标签设定.setVisible(false);
    时1.setVisible(false);
    分1.setVisible(false);
    秒1.setVisible(false);
    标签2.setVisible(true);
}

} // namespace vmkt
