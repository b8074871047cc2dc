// The three mode timers, each ticking once a second while its mode is armed,
// and the firing sequence they share.
#include "app/program.h"
#include "engine/conversions.h"

#include <algorithm>

namespace vmkt {

void Program::触发闹铃(Timer& modeTimer) {
    时钟闪烁.setPeriod(250);
    闹铃响起();
    显示到时提示();
    if (&modeTimer == &时钟指定)
        隐藏设定框();
    modeTimer.setPeriod(0);
}

void Program::倒计时钟周期() {
    倒计剩余毫秒 = static_cast<std::int32_t>(static_cast<std::uint32_t>(倒计剩余毫秒) - 1000u);
    标签2.setCaption("剩余：" + 毫秒到文本(倒计剩余毫秒));
    // Exactly 0: a count that misses 0 never falls due.
    if (倒计剩余毫秒 == 0)
        触发闹铃(时钟倒计);
}

// The fields are compared as texts with the clock texts of every second the
// wall clock has entered since the previous tick, oldest first, so that a
// late or early tick (a busy thread, timer jitter, a blocked second) cannot
// skip the set second. When the clock stands still or steps back, nothing new
// is compared; at most the last 24 hours are looked at.
void Program::指定时钟周期() {
    const std::int64_t ms = platform().clock.localMillis();
    const std::int64_t now = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
    const std::int64_t last = 指定已比较到秒_.value_or(now - 1);
    指定已比较到秒_ = now;
    if (now <= last)
        return;
    const std::int64_t first = std::max(last + 1, now - 86400 + 1);
    for (std::int64_t second = first; second <= now; ++second) {
        const std::int64_t ofDay = ((second % 86400) + 86400) % 86400;
        const std::string h = 整数转文本(static_cast<std::int32_t>(ofDay / 3600));
        const std::string m = 整数转文本(static_cast<std::int32_t>(ofDay / 60 % 60));
        const std::string s = 整数转文本(static_cast<std::int32_t>(ofDay % 60));
        if (时1.text() == h && 分1.text() == m && 秒1.text() == s) {
            触发闹铃(时钟指定);
            return;
        }
    }
}

void Program::整点时钟周期() {
    const std::string h = 当前小时文本();
    const std::string m = 当前分钟文本();
    const std::string s = 当前秒文本();
    标签2.setCaption(h + "时" + m + "分" + s + "秒");
    if (分1.text() == m)
        触发闹铃(时钟整点);
    else
        停止全部声音();
}

} // namespace vmkt
