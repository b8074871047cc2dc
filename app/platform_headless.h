// The headless platform: the clock's world without a display, in virtual
// time. A monotonic clock that moves only when told to, a settable wall
// clock, timers that tick at their exact due instants, message and input
// boxes answered from a script, an in-memory registry and a recording sound
// output. The tests and the scenario driver run the program on it.
#pragma once

#include "actions/sound_headless.h"
#include "app/model.h"
#include "app/platform.h"
#include "settings/registry_headless.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vmkt {

class HeadlessPlatform : public Clock,
                         public TimerService,
                         public Ui,
                         public System,
                         public ModelObserver {
public:
    HeadlessPlatform();

    Platform& platform() { return platform_; }
    HeadlessSound& sound() { return sound_; }
    HeadlessRegistry& registry() { return registry_; }

    // The model whose timers tick here, and whose events the world drains.
    void attach(Model& model);

    // ---- virtual time ----
    std::int64_t now() const { return now_; }
    // Lets the given time pass: every timer ticks at its due instants, in
    // order of time (ties in timer table order), each tick followed by the
    // queued events. Time ends at 2^62 ms.
    void advance(std::int64_t ms);
    // Sets the wall clock's time of day on the current day; timers are not
    // moved.
    void setTimeOfDay(std::int64_t msOfDay);

    // ---- set-up ----
    void setScreenWidth(int width) { screenWidth_ = width; }
    void setProgramPath(std::string path) { programPath_ = std::move(path); }

    // ---- scripted boxes ----
    enum class Reply { Yes, No, Ok, InputOk, InputTyped, InputPasted, InputCancel };
    struct Answer {
        Reply reply = Reply::Ok;
        std::int64_t afterMs = 0;
        std::string text;
    };
    void queueAnswer(Answer answer) { answers_.push_back(std::move(answer)); }
    struct Box {
        std::string title;
        std::string text; // the prompt, for an input box
        bool input = false;
    };
    const std::vector<Box>& boxes() const { return boxes_; }
    // Problems the script caused, such as a box shown with no answer queued.
    std::vector<std::string> takeProblems();

    // ---- the popup menu ----
    // The item the next popup menu will have chosen (by caption).
    void choose(std::string caption) { menuChoice_ = std::move(caption); }

    // ---- recorders ----
    int powerOffs() const { return powerOffs_; }
    int suspends() const { return suspends_; }
    int displayOffs() const { return displayOffs_; }
    struct Balloon {
        std::string title, text;
        int icon = 0, timeoutMs = 0;
    };
    const std::vector<Balloon>& balloons() const { return balloons_; }
    int timerPeriod(TimerId id) const { return timers_[static_cast<int>(id)].period; }

    // Runs queued events and, outside every modal loop, a requested
    // destruction of the window.
    void settle();

    // Clock
    std::int64_t localMillis() override { return now_ + wallOffset_; }
    // TimerService
    void setPeriod(TimerId timer, int periodMs) override;
    // Ui
    int screenWidth() override { return screenWidth_; }
    void processPendingEvents() override;
    void blockFor(int ms) override;
    BoxAnswer messageBox(const std::string& text, const std::string& title,
                         BoxStyle style) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial, bool wholeNumber) override;
    MenuItem* popupMenu(Model& model) override;
    void balloon(const std::string& title, const std::string& text, int icon,
                 int timeoutMs) override;
    // System
    std::string programPath() override { return programPath_; }
    void powerOff() override { ++powerOffs_; }
    void suspend() override { ++suspends_; }
    void displayOff() override { ++displayOffs_; }
    // ModelObserver
    void propertyChanged(Control&, Prop) override {}
    void destroyed() override { sound_.stopAll(); }

private:
    struct TimerState {
        int period = 0;
        std::int64_t due = 0;
    };
    void runUntil(std::int64_t target);
    std::optional<Answer> nextAnswer(const std::string& title, const std::string& text, bool input);
    void waitInBox(std::int64_t ms);

    std::int64_t now_ = 0;
    std::int64_t wallOffset_ = 8 * 3600000; // 08:00:00.000 on the first day
    int screenWidth_ = 1024;
    std::string programPath_ = "/opt/vemko/vmkt";
    TimerState timers_[kTimerCount];
    Model* model_ = nullptr;
    int modalDepth_ = 0;
    std::deque<Answer> answers_;
    std::vector<Box> boxes_;
    std::vector<std::string> problems_;
    std::optional<std::string> menuChoice_;
    int powerOffs_ = 0, suspends_ = 0, displayOffs_ = 0;
    std::vector<Balloon> balloons_;
    HeadlessSound sound_;
    HeadlessRegistry registry_;
    Platform platform_;
};

} // namespace vmkt
