// The window model: the one window, every control, menu item and timer on it,
// and the rules by which their properties change and their events are raised.
// The whole state of the clock lives here. Front ends (the headless driver,
// the Qt view, the Win32 view) show the model and feed the user's input into
// it; they keep no state of their own.
#pragma once

#include "app/platform.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vmkt {

using Text = std::string;
using Colour = std::uint32_t; // COLORREF: 0x00BBGGRR
inline constexpr Colour kBlack = 0;
inline constexpr Colour kRed = 255;

using Handler = std::function<void()>;

enum class Kind { Window, EditBox, Label, ComboBox, Button, Timer, TrayIcon, MenuItem, Frame };

enum class Prop {
    Left,
    Top,
    Width,
    Height,
    Visible,
    Title,
    Text,
    Caption,
    Colour,
    Selection,
    Disabled,
    Tip,
    Period,
    Checked,
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// A property value as the driver and the views see it.
using Value = std::variant<Text, std::int64_t, bool>;

class Model;

class Control {
public:
    Control(Model& model, Kind kind, std::string name, Rect place = {});
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    Rect place() const { return place_; }
    Model& model() const { return model_; }

protected:
    void changed(Prop prop);

private:
    Model& model_;
    Kind kind_;
    std::string name_;
    Rect place_;
};

class Window : public Control {
public:
    explicit Window(Model& model);
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool visible() const { return visible_; }
    const Text& title() const { return title_; }
    void setLeft(int v);
    void setTop(int v);
    void setWidth(int v);
    void setHeight(int v);
    void setVisible(bool v);

    Handler onCreated;
    // Answers whether the window may close; an empty answer lets it close.
    std::function<BoxAnswer()> onCanBeClosed;

private:
    int left_ = 50, top_ = 50, width_ = 333, height_ = 105;
    bool visible_ = true;
    Text title_ = "Vemko闹钟";
};

class EditBox : public Control {
public:
    EditBox(Model& model, std::string name, Rect place, Text text);
    const Text& text() const { return text_; }
    bool visible() const { return visible_; }
    Colour colour() const { return colour_; }
    // A write raises the text-changed event once, synchronously, also when the
    // text does not change.
    void setText(Text text);
    void setVisible(bool v);
    void setColour(Colour c);

    // The typing filter: only the digits and "-" are taken from typing.
    static bool acceptsTyped(std::string_view character);
    // The user changed the text (typing, deleting or pasting): one change.
    void userEdit(Text text);
    void userDoubleClick();

    Handler onTextChanged;
    Handler onDoubleClicked;

private:
    Text text_;
    bool visible_ = true;
    Colour colour_ = kBlack;
};

class Label : public Control {
public:
    Label(Model& model, std::string name, Rect place, Text caption, bool visible, bool centred);
    const Text& caption() const { return caption_; }
    bool visible() const { return visible_; }
    Colour colour() const { return colour_; }
    bool centred() const { return centred_; }
    void setCaption(Text caption);
    void setVisible(bool v);
    void setColour(Colour c);

private:
    Text caption_;
    bool visible_;
    Colour colour_ = kBlack;
    bool centred_;
};

class ComboBox : public Control {
public:
    ComboBox(Model& model, std::string name, Rect place, std::vector<Text> items);
    const std::vector<Text>& items() const { return items_; }
    int selection() const { return selection_; }
    // The selected item's text, empty when nothing is selected.
    Text text() const;
    bool disabled() const { return disabled_; }
    // Clamped to -1 .. last index; never raises list-item-selected.
    void setSelection(std::int64_t v);
    void setDisabled(bool v);
    // The user picked an item from the open list. The event is queued and its
    // handler reads the selection current when it runs. Nothing happens while
    // the box is disabled.
    void userChoose(int index);

    Handler onItemSelected;

private:
    std::vector<Text> items_;
    int selection_ = 0;
    bool disabled_ = false;
};

class Button : public Control {
public:
    Button(Model& model, std::string name, Rect place, Text caption, Text tip);
    const Text& caption() const { return caption_; }
    const Text& tip() const { return tip_; }
    void setCaption(Text caption);
    void setTip(Text tip);
    void userClick();

    Handler onClicked;

private:
    Text caption_;
    Text tip_;
};

class Timer : public Control {
public:
    Timer(Model& model, std::string name, TimerId id);
    TimerId id() const { return id_; }
    int period() const { return period_; }
    // A negative period counts as 0; writing the current period changes
    // nothing (a running timer keeps its phase); any other write restarts the
    // timer counted from now, or stops it at 0.
    void setPeriod(std::int64_t v);

    Handler onTick;

private:
    friend class Model;
    TimerId id_;
    int period_ = 0;
};

class TrayIcon : public Control {
public:
    explicit TrayIcon(Model& model);
    const Text& tip() const { return tip_; }
    void userDoubleClick();
    void userRightRelease();

    Handler onDoubleClicked;
    Handler onRightReleased;

private:
    Text tip_ = "Vemko闹钟\r\n双击 显示/隐藏";
};

class MenuItem : public Control {
public:
    MenuItem(Model& model, Text caption, int level, bool hidden = false);
    const Text& caption() const { return name(); }
    int level() const { return level_; }
    bool separator() const { return name() == "-"; }
    bool hidden() const { return hidden_; }
    bool checked() const { return checked_; }
    bool disabled() const { return disabled_; }
    void setChecked(bool v);
    void setDisabled(bool v);
    // The item was chosen from the popup menu: its event is queued and comes
    // after the menu has closed. Hidden, disabled and separator items cannot be
    // chosen.
    void userSelect();

    Handler onSelected;

private:
    int level_;
    bool hidden_;
    bool checked_ = false;
    bool disabled_ = false;
};

class Frame : public Control {
public:
    Frame(Model& model, std::string name, Rect place);
};

// Told about every property write, so that a view can show it at once.
class ModelObserver {
public:
    virtual ~ModelObserver() = default;
    virtual void propertyChanged(Control& control, Prop prop) = 0;
    // An event was queued; the event loop should run the queue soon.
    virtual void eventQueued() {}
    // The window was destroyed: the program ends.
    virtual void destroyed() {}
};

class Model {
public:
    explicit Model(TimerService& timers);
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;
    virtual ~Model() = default;

    Window 窗口;
    ComboBox 组合框1;
    Label 标签设定;
    Label 标签2;
    EditBox 时1;
    EditBox 分1;
    EditBox 秒1;
    ComboBox 组合框声音;
    Frame 外形框1;
    Button 超级按钮开始;
    Button 超级按钮最小化;
    Button 超级按钮1;
    Label 标签闹铃时长;
    Timer 时钟倒计;
    Timer 时钟指定;
    Timer 时钟整点;
    Timer 时钟闪烁;
    Timer 时钟监视变量;
    TrayIcon 托盘图标1;
    // The menu, under its hidden top item, in order.
    MenuItem 右键;
    MenuItem 显示界面;
    MenuItem 软件设置;
    MenuItem 随系统启动;
    MenuItem 气泡提醒;
    MenuItem 分隔线1;
    MenuItem 无操作时长鸣;
    MenuItem 设置闹铃时长;
    MenuItem 分隔线2;
    MenuItem 停止;
    MenuItem 分隔线3;
    MenuItem 关于;
    MenuItem 退出软件;

    // Every control in creation order (the window first), every menu item
    // in menu order, every timer in table order.
    const std::vector<Control*>& controls() const { return controls_; }
    const std::vector<MenuItem*>& menu() const { return menu_; }
    Timer& timer(TimerId id) { return *timers_[static_cast<int>(id)]; }
    // A control, timer, the window or a menu item (by caption) by name.
    Control* find(std::string_view name) const;

    // Generic property access by name, as the driver and the views use it.
    // Returns false when the control has no such property.
    bool get(const Control& control, std::string_view prop, Value& out) const;

    void setObserver(ModelObserver* observer) { observer_ = observer; }
    ModelObserver* observer() const { return observer_; }

    // A timer ticked: its periodic event runs now.
    void tick(TimerId id);

    // Events that run after the running handler has returned.
    void post(Handler event);
    // Runs queued events until the queue is empty. Returns whether any ran.
    bool runQueued();
    bool hasQueued() const { return !queue_.empty(); }

    // Destroying the window is queued; it takes effect after the running
    // handler has returned.
    void requestDestroy();
    bool destroyRequested() const { return destroyRequested_; }
    // Carries out a requested destruction: timers stop, the tray icon goes,
    // the program ends. Returns true if the window was destroyed now.
    bool destroyIfRequested();
    bool destroyed() const { return destroyed_; }

    void notify(Control& control, Prop prop);
    TimerService& timerService() { return timerService_; }

private:
    void add(Control& control);

    TimerService& timerService_;
    ModelObserver* observer_ = nullptr;
    std::vector<Control*> controls_;
    std::vector<MenuItem*> menu_;
    Timer* timers_[kTimerCount];
    std::deque<Handler> queue_;
    bool destroyRequested_ = false;
    bool destroyed_ = false;
};

} // namespace vmkt
