// The services the clock needs from the system it runs on. Each one is a
// small interface; every platform (the headless one in virtual time, Linux,
// Windows) provides its own implementation in files named for it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vmkt {

class MenuItem;
class Model;

// The five model timers, in the order of the timer table. Ticks that fall due
// at the same instant are handled in this order.
enum class TimerId : int { 倒计 = 0, 指定, 整点, 闪烁, 监视变量 };
inline constexpr int kTimerCount = 5;

// The local wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Local time in milliseconds since an arbitrary midnight: the time of day
    // is the value modulo 86 400 000. It may jump in either direction when
    // the user or the system sets the clock.
    virtual std::int64_t localMillis() = 0;
};

// Window timers. The model calls setPeriod only when a period really changes:
// 0 stops the timer, a positive period (re)starts it counted from now. Ticks
// come back as Model::tick on the user-interface thread, one at a time; a late
// tick is not made up.
class TimerService {
public:
    virtual ~TimerService() = default;
    virtual void setPeriod(TimerId timer, int periodMs) = 0;
};

enum class BoxStyle { YesNoWarning, YesNoQuestion, OkInformation };
enum class BoxAnswer { None, Yes, No, Ok };

// The message boxes, the input box, the popup menu and the balloon: the
// user-interface operations that handlers call.
class Ui {
public:
    virtual ~Ui() = default;
    // Width of the primary screen in pixels.
    virtual int screenWidth() = 0;
    // Handles every event already queued and returns once the queue is
    // empty; never waits for new events and leaves a pending destruction of
    // the window in the queue.
    virtual void processPendingEvents() = 0;
    // Blocks the user-interface thread for the given time, handling nothing.
    virtual void blockFor(int ms) = 0;
    // A modal message box without owner; timers go on ticking while it waits.
    virtual BoxAnswer messageBox(const std::string& text, const std::string& title,
                                 BoxStyle style) = 0;
    // A modal one-line input box. Kind whole number takes only "0".."9" and
    // "-" from typing. Gives the text when confirmed, nothing when cancelled.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& initial, bool wholeNumber) = 0;
    // Shows the popup menu built from the model's menu tree at the pointer and
    // waits until it closes; gives the chosen item, or nullptr.
    virtual MenuItem* popupMenu(Model& model) = 0;
    // A balloon message at the tray icon: icon 0 none, 1 information,
    // 2 warning, 3 error. Returns at once.
    virtual void balloon(const std::string& title, const std::string& text, int icon,
                         int timeoutMs) = 0;
};

// The wave format of a clip, as its "fmt " chunk gives it.
struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// Sound output: independent players on threads of their own.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Starts a new player for the samples (which stay valid for the life of
    // the program) and returns at once. Players sound together.
    virtual void play(const WaveFormat& format, std::span<const std::uint8_t> samples,
                      bool looped) = 0;
    // Signals every live player to stop and returns at once.
    virtual void stopAll() = 0;
    // The buttons' short click; a new click cuts off one still playing.
    virtual void click() = 0;
};

enum class RegRoot { CurrentUser, LocalMachine };

// The settings store with the meaning of the Windows registry: keys holding
// named values of a type. Key paths use backslashes.
class Registry {
public:
    virtual ~Registry() = default;
    // The text of a string value (environment references expanded for an
    // expandable string); nothing when the key or value is missing, the value
    // is not a string, its data is empty, or anything fails. Never creates a
    // key.
    virtual std::optional<std::string> readText(RegRoot root, const std::string& key,
                                                const std::string& name) = 0;
    // Stores a string value, creating missing keys; false when nothing was
    // stored.
    virtual bool writeText(RegRoot root, const std::string& key, const std::string& name,
                           const std::string& text) = 0;
    // Removes one value; false when nothing was removed.
    virtual bool deleteValue(RegRoot root, const std::string& key, const std::string& name) = 0;
    // Removes a key that has no subkeys; false when nothing was removed.
    virtual bool deleteKey(RegRoot root, const std::string& key) = 0;
};

// The program's own path and the power operations. Each power operation is
// fire-and-forget: it returns at once and reports nothing.
class System {
public:
    virtual ~System() = default;
    virtual std::string programPath() = 0;
    // The text the autostart entry holds for this program; a stored entry
    // names the program when it equals this text. By default the entry is the
    // program's path as it is.
    virtual std::string autostartEntry() { return programPath(); }
    virtual void powerOff() = 0;
    virtual void suspend() = 0;
    virtual void displayOff() = 0;
};

struct Platform {
    Clock& clock;
    TimerService& timers;
    Ui& ui;
    SoundOutput& sound;
    Registry& registry;
    System& system;
};

} // namespace vmkt
