// The clock program: the window model with every handler routed to it, the
// two global counters, and the platform services the handlers call. Each
// subsystem defines its handlers in its own directory (engine/, actions/,
// settings/, ui/); this header is where they meet.
#pragma once

#include "actions/clips.h"
#include "app/model.h"
#include "app/platform.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vmkt {

class Program : public Model {
public:
    explicit Program(Platform& platform);

    Platform& platform() { return platform_; }

    // Program start up to the event loop: raise created (the start-up
    // sequence), then show the window. The front end then runs its event loop
    // until destroyed() and exits with code 0.
    void start();
    bool started() const { return started_; }

    // Milliseconds left in a running countdown.
    std::int32_t 倒计剩余毫秒 = 0;
    // Seconds of ringing left.
    std::int32_t 闹铃剩余秒数 = 0;

    // ---- start-up sequence ----
    void 启动序列();

    // ---- time fields ----
    void 时间框文本改变(EditBox& box);
    void 时间框双击(EditBox& box);
    std::string 当前小时文本();
    std::string 当前分钟文本();
    std::string 当前秒文本();

    // ---- mode selector ----
    void 组合框1选择();
    void 显示设定框();
    void 隐藏设定框();

    // ---- start/stop ----
    void 开始按钮单击();

    // ---- mode timers ----
    void 倒计时钟周期();
    void 指定时钟周期();
    void 整点时钟周期();
    void 触发闹铃(Timer& modeTimer);

    // ---- firing ----
    void 闹铃响起();
    void 显示到时提示();
    void 弹出气泡();

    // ---- ring monitor and flashing ----
    void 监视变量周期();
    void 闪烁周期();

    // ---- sounds ----
    void 播放片段(Clip clip, bool looped = false);
    void 停止全部声音();
    void 组合框声音选择();

    // ---- settings ----
    std::string 读注册表文本(RegRoot root, const std::string& path, const std::string& fallback);
    bool 写注册表文本(RegRoot root, const std::string& path, const std::string& text);
    bool 删除注册表项(RegRoot root, const std::string& path);
    std::optional<std::string> 询问文本(const std::string& prompt, const std::string& title,
                                        const std::string& initial, bool wholeNumber);
    void 恢复自启动();
    void 恢复气泡提醒();
    void 恢复长鸣();
    void 恢复闹铃时长();
    void 恢复默认功能();
    void 恢复默认事件();
    void 随系统启动命令();
    void 气泡提醒命令();
    void 无操作时长鸣命令();
    void 设置闹铃时长命令();
    std::string 程序路径();

    // ---- bar and tray ----
    void 最小化按钮单击();
    void 关闭按钮单击();
    BoxAnswer 窗口可否关闭();
    void 托盘双击();
    void 托盘右键();
    void 显示界面命令();
    void 关于命令();
    void 退出软件命令();

private:
    void route();

    Platform& platform_;
    bool started_ = false;
    // The wall-clock second (local milliseconds / 1000) up to which the
    // specified-time timer has compared the clock in this run.
    std::optional<std::int64_t> 指定已比较到秒_;
};

// Registry paths of the settings.
inline constexpr const char* kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\VMKT";
inline constexpr const char* k气球提示 = "Software\\VMKT\\气球提示";
inline constexpr const char* k长鸣 = "Software\\VMKT\\长鸣";
inline constexpr const char* k闹铃时长 = "Software\\VMKT\\闹铃时长";
inline constexpr const char* k默认功能 = "Software\\VMKT\\默认功能";
inline constexpr const char* k默认事件 = "Software\\VMKT\\默认事件";

// Texts shown to the user.
inline constexpr const char* k关闭确认文本 = "闹钟提醒正在运行，确定要关闭软件吗？";
inline constexpr const char* k关闭确认标题 = "重要提示：";
inline constexpr const char* k关于标题 = "关于Vemko";
extern const char* const k关于文本;

} // namespace vmkt
