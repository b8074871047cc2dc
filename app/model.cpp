#include "app/model.h"

#include <algorithm>

namespace vmkt {

namespace {

int clampTo(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return static_cast<int>(std::clamp(v, lo, hi));
}

void run(const Handler& handler) {
    if (handler)
        handler();
}

} // namespace

Control::Control(Model& model, Kind kind, std::string name, Rect place)
    : model_(model), kind_(kind), name_(std::move(name)), place_(place) {}

void Control::changed(Prop prop) {
    model_.notify(*this, prop);
}

// ---- window ----------------------------------------------------------------

Window::Window(Model& model) : Control(model, Kind::Window, "窗口", {50, 50, 333, 105}) {}

// Positions are limited to what the window system accepts, sizes likewise.
void Window::setLeft(int v) {
    left_ = clampTo(v, -32627, 32627);
    changed(Prop::Left);
}
void Window::setTop(int v) {
    top_ = clampTo(v, -32627, 32627);
    changed(Prop::Top);
}
void Window::setWidth(int v) {
    width_ = clampTo(v, 0, 32627);
    changed(Prop::Width);
}
void Window::setHeight(int v) {
    height_ = clampTo(v, 0, 32627);
    changed(Prop::Height);
}
void Window::setVisible(bool v) {
    visible_ = v;
    changed(Prop::Visible);
}

// ---- edit box --------------------------------------------------------------

EditBox::EditBox(Model& model, std::string name, Rect place, Text text)
    : Control(model, Kind::EditBox, std::move(name), place), text_(std::move(text)) {}

void EditBox::setText(Text text) {
    text_ = std::move(text);
    changed(Prop::Text);
    run(onTextChanged);
}

void EditBox::setVisible(bool v) {
    visible_ = v;
    changed(Prop::Visible);
}

void EditBox::setColour(Colour c) {
    colour_ = c;
    changed(Prop::Colour);
}

bool EditBox::acceptsTyped(std::string_view character) {
    return character.size() == 1 &&
           ((character[0] >= '0' && character[0] <= '9') || character[0] == '-');
}

void EditBox::userEdit(Text text) {
    setText(std::move(text));
}

void EditBox::userDoubleClick() {
    run(onDoubleClicked);
}

// ---- label -----------------------------------------------------------------

Label::Label(Model& model, std::string name, Rect place, Text caption, bool visible, bool centred)
    : Control(model, Kind::Label, std::move(name), place), caption_(std::move(caption)),
      visible_(visible), centred_(centred) {}

void Label::setCaption(Text caption) {
    caption_ = std::move(caption);
    changed(Prop::Caption);
}

void Label::setVisible(bool v) {
    visible_ = v;
    changed(Prop::Visible);
}

void Label::setColour(Colour c) {
    colour_ = c;
    changed(Prop::Colour);
}

// ---- combo box -------------------------------------------------------------

ComboBox::ComboBox(Model& model, std::string name, Rect place, std::vector<Text> items)
    : Control(model, Kind::ComboBox, std::move(name), place), items_(std::move(items)) {}

Text ComboBox::text() const {
    if (selection_ < 0 || selection_ >= static_cast<int>(items_.size()))
        return {};
    return items_[static_cast<std::size_t>(selection_)];
}

void ComboBox::setSelection(std::int64_t v) {
    selection_ = clampTo(v, -1, static_cast<std::int64_t>(items_.size()) - 1);
    changed(Prop::Selection);
}

void ComboBox::setDisabled(bool v) {
    disabled_ = v;
    changed(Prop::Disabled);
}

void ComboBox::userChoose(int index) {
    if (disabled_ || index < 0 || index >= static_cast<int>(items_.size()))
        return;
    setSelection(index);
    if (onItemSelected)
        model().post(onItemSelected);
}

// ---- button ----------------------------------------------------------------

Button::Button(Model& model, std::string name, Rect place, Text caption, Text tip)
    : Control(model, Kind::Button, std::move(name), place), caption_(std::move(caption)),
      tip_(std::move(tip)) {}

void Button::setCaption(Text caption) {
    caption_ = std::move(caption);
    changed(Prop::Caption);
}

void Button::setTip(Text tip) {
    tip_ = std::move(tip);
    changed(Prop::Tip);
}

void Button::userClick() {
    run(onClicked);
}

// ---- timer -----------------------------------------------------------------

Timer::Timer(Model& model, std::string name, TimerId id)
    : Control(model, Kind::Timer, std::move(name)), id_(id) {}

void Timer::setPeriod(std::int64_t v) {
    const int period = clampTo(v, 0, 0x7FFFFFFF);
    if (period == period_)
        return;
    period_ = period;
    model().timerService().setPeriod(id_, period_);
    changed(Prop::Period);
}

// ---- tray icon -------------------------------------------------------------

TrayIcon::TrayIcon(Model& model) : Control(model, Kind::TrayIcon, "托盘图标1") {}

void TrayIcon::userDoubleClick() {
    run(onDoubleClicked);
}

void TrayIcon::userRightRelease() {
    run(onRightReleased);
}

// ---- menu item -------------------------------------------------------------

MenuItem::MenuItem(Model& model, Text caption, int level, bool hidden)
    : Control(model, Kind::MenuItem, std::move(caption)), level_(level), hidden_(hidden) {}

void MenuItem::setChecked(bool v) {
    checked_ = v;
    changed(Prop::Checked);
}

void MenuItem::setDisabled(bool v) {
    disabled_ = v;
    changed(Prop::Disabled);
}

void MenuItem::userSelect() {
    if (hidden_ || disabled_ || separator())
        return;
    if (onSelected)
        model().post(onSelected);
}

// ---- frame -----------------------------------------------------------------

Frame::Frame(Model& model, std::string name, Rect place)
    : Control(model, Kind::Frame, std::move(name), place) {}

// ---- the model -------------------------------------------------------------

Model::Model(TimerService& timers)
    : 窗口(*this), 组合框1(*this, "组合框1", {1, 1, 46, 20}, {"倒计", "指定", "整点"}),
      标签设定(*this, "标签设定", {52, 1, 128, 20}, "     时    分    秒", true, false),
      标签2(*this, "标签2", {52, 1, 128, 20}, "", false, true),
      时1(*this, "时1", {62, 2, 20, 18}, "0"), 分1(*this, "分1", {98, 2, 20, 18}, "30"),
      秒1(*this, "秒1", {134, 2, 20, 18}, "0"),
      组合框声音(*this, "组合框声音", {184, 1, 59, 20},
                 {"Vemko叫", "布谷鸟", "风铃响", "------", "关机", "休眠", "关屏"}),
      外形框1(*this, "外形框1", {249, 1, 34, 20}),
      超级按钮开始(*this, "超级按钮开始", {250, 2, 32, 18}, "开始", "启动计时"),
      超级按钮最小化(*this, "超级按钮最小化", {291, 2, 20, 20}, "-", "隐藏到托盘"),
      超级按钮1(*this, "超级按钮1", {309, 2, 20, 20}, "×", "关闭软件"),
      标签闹铃时长(*this, "标签闹铃时长", {280, 48, 24, 24}, "180", true, false),
      时钟倒计(*this, "时钟倒计", TimerId::倒计), 时钟指定(*this, "时钟指定", TimerId::指定),
      时钟整点(*this, "时钟整点", TimerId::整点), 时钟闪烁(*this, "时钟闪烁", TimerId::闪烁),
      时钟监视变量(*this, "时钟监视变量", TimerId::监视变量), 托盘图标1(*this),
      右键(*this, "右键", 0, true), 显示界面(*this, "显示界面", 1), 软件设置(*this, "软件设置", 1),
      随系统启动(*this, "随系统启动", 2), 气泡提醒(*this, "气泡提醒", 2), 分隔线1(*this, "-", 2),
      无操作时长鸣(*this, "无操作时长鸣", 2), 设置闹铃时长(*this, "设置闹铃时长", 2),
      分隔线2(*this, "-", 1), 停止(*this, "停止", 1), 分隔线3(*this, "-", 1),
      关于(*this, "关于", 1), 退出软件(*this, "退出软件", 1),
      timerService_(timers), timers_{&时钟倒计, &时钟指定, &时钟整点, &时钟闪烁, &时钟监视变量} {
    for (Control* c : std::initializer_list<Control*>{
             &窗口, &组合框1, &标签设定, &标签2, &时1, &分1, &秒1, &组合框声音, &外形框1,
             &超级按钮开始, &超级按钮最小化, &超级按钮1, &标签闹铃时长, &时钟倒计, &时钟指定,
             &时钟整点, &时钟闪烁, &时钟监视变量, &托盘图标1})
        add(*c);
    for (MenuItem* m :
         {&右键, &显示界面, &软件设置, &随系统启动, &气泡提醒, &分隔线1, &无操作时长鸣,
          &设置闹铃时长, &分隔线2, &停止, &分隔线3, &关于, &退出软件}) {
        add(*m);
        menu_.push_back(m);
    }
}

void Model::add(Control& control) {
    controls_.push_back(&control);
}

Control* Model::find(std::string_view name) const {
    if (name == "-")
        return nullptr;
    for (Control* c : controls_)
        if (c->name() == name)
            return c;
    return nullptr;
}

bool Model::get(const Control& c, std::string_view prop, Value& out) const {
    auto number = [&](std::int64_t v) {
        out = v;
        return true;
    };
    auto flag = [&](bool v) {
        out = v;
        return true;
    };
    auto text = [&](const Text& v) {
        out = v;
        return true;
    };
    switch (c.kind()) {
    case Kind::Window: {
        const auto& w = static_cast<const Window&>(c);
        if (prop == "left")
            return number(w.left());
        if (prop == "top")
            return number(w.top());
        if (prop == "width")
            return number(w.width());
        if (prop == "height")
            return number(w.height());
        if (prop == "visible")
            return flag(w.visible());
        if (prop == "title")
            return text(w.title());
        return false;
    }
    case Kind::EditBox: {
        const auto& e = static_cast<const EditBox&>(c);
        if (prop == "text")
            return text(e.text());
        if (prop == "visible")
            return flag(e.visible());
        if (prop == "colour")
            return number(e.colour());
        return false;
    }
    case Kind::Label: {
        const auto& l = static_cast<const Label&>(c);
        if (prop == "caption")
            return text(l.caption());
        if (prop == "visible")
            return flag(l.visible());
        if (prop == "colour")
            return number(l.colour());
        return false;
    }
    case Kind::ComboBox: {
        const auto& b = static_cast<const ComboBox&>(c);
        if (prop == "selection")
            return number(b.selection());
        if (prop == "text")
            return text(b.text());
        if (prop == "disabled")
            return flag(b.disabled());
        return false;
    }
    case Kind::Button: {
        const auto& b = static_cast<const Button&>(c);
        if (prop == "caption")
            return text(b.caption());
        if (prop == "tip")
            return text(b.tip());
        return false;
    }
    case Kind::Timer:
        if (prop == "period")
            return number(static_cast<const Timer&>(c).period());
        return false;
    case Kind::TrayIcon:
        if (prop == "tip")
            return text(static_cast<const TrayIcon&>(c).tip());
        return false;
    case Kind::MenuItem: {
        const auto& m = static_cast<const MenuItem&>(c);
        if (prop == "checked")
            return flag(m.checked());
        if (prop == "disabled")
            return flag(m.disabled());
        return false;
    }
    case Kind::Frame:
        return false;
    }
    return false;
}

void Model::tick(TimerId id) {
    if (destroyed_)
        return;
    Timer& t = timer(id);
    if (t.period() > 0)
        run(t.onTick);
}

void Model::post(Handler event) {
    if (destroyed_)
        return;
    queue_.push_back(std::move(event));
    if (observer_)
        observer_->eventQueued();
}

bool Model::runQueued() {
    bool any = false;
    while (!queue_.empty() && !destroyed_) {
        Handler h = std::move(queue_.front());
        queue_.pop_front();
        any = true;
        run(h);
    }
    return any;
}

void Model::requestDestroy() {
    if (destroyed_)
        return;
    destroyRequested_ = true;
    if (observer_)
        observer_->eventQueued();
}

bool Model::destroyIfRequested() {
    if (!destroyRequested_ || destroyed_)
        return false;
    destroyed_ = true;
    queue_.clear();
    for (Timer* t : timers_)
        t->setPeriod(0);
    if (observer_)
        observer_->destroyed();
    return true;
}

void Model::notify(Control& control, Prop prop) {
    if (observer_)
        observer_->propertyChanged(control, prop);
}

} // namespace vmkt
