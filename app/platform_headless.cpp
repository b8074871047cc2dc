#include "app/platform_headless.h"

namespace vmkt {

namespace {

// Virtual time ends at 2^62 ms, some 146 million years in: a wait that would
// go beyond stops there, so that no instant, due time or wall clock reading
// ever overflows.
constexpr std::int64_t kEndOfTime = std::int64_t{1} << 62;

std::int64_t later(std::int64_t now, std::int64_t ms) {
    return ms < kEndOfTime - now ? now + ms : kEndOfTime;
}

} // namespace

HeadlessPlatform::HeadlessPlatform()
    : sound_([this] { return now_; }), platform_{*this, *this, *this, sound_, registry_, *this} {}

void HeadlessPlatform::attach(Model& model) {
    model_ = &model;
    model.setObserver(this);
}

void HeadlessPlatform::setPeriod(TimerId timer, int periodMs) {
    TimerState& t = timers_[static_cast<int>(timer)];
    t.period = periodMs;
    t.due = now_ + periodMs;
}

void HeadlessPlatform::advance(std::int64_t ms) {
    runUntil(later(now_, ms > 0 ? ms : 0));
}

void HeadlessPlatform::runUntil(std::int64_t target) {
    while (!(model_ && model_->destroyed())) {
        int next = -1;
        for (int i = 0; i < kTimerCount; ++i) {
            const TimerState& t = timers_[i];
            if (t.period > 0 && t.due <= target && (next < 0 || t.due < timers_[next].due))
                next = i;
        }
        if (next < 0)
            break;
        TimerState& t = timers_[next];
        if (t.due > now_)
            now_ = t.due;
        // The timer keeps its phase; a tick that comes late is not made up.
        const std::int64_t missed = (now_ - t.due) / t.period;
        t.due += (missed + 1) * t.period;
        if (model_)
            model_->tick(static_cast<TimerId>(next));
        settle();
    }
    if (now_ < target)
        now_ = target;
}

void HeadlessPlatform::settle() {
    if (!model_)
        return;
    model_->runQueued();
    if (modalDepth_ == 0)
        model_->destroyIfRequested();
}

void HeadlessPlatform::setTimeOfDay(std::int64_t msOfDay) {
    const std::int64_t wall = localMillis();
    const std::int64_t day = 86400000;
    const std::int64_t midnight = wall / day * day - (wall % day < 0 ? day : 0);
    wallOffset_ = midnight + msOfDay - now_;
}

// Ticks already due and queued events run; a requested destruction waits for
// the running handler to return.
void HeadlessPlatform::processPendingEvents() {
    ++modalDepth_;
    runUntil(now_);
    settle();
    --modalDepth_;
}

void HeadlessPlatform::blockFor(int ms) {
    if (ms > 0)
        now_ += ms;
}

void HeadlessPlatform::waitInBox(std::int64_t ms) {
    if (ms <= 0)
        return;
    ++modalDepth_;
    runUntil(later(now_, ms));
    --modalDepth_;
}

std::optional<HeadlessPlatform::Answer>
HeadlessPlatform::nextAnswer(const std::string& title, const std::string& text, bool input) {
    boxes_.push_back(Box{title, text, input});
    const bool fits = !answers_.empty() && (answers_.front().reply >= Reply::InputOk) == input;
    if (!fits) {
        problems_.push_back("unexpected box: " + title + " / " + text);
        return std::nullopt;
    }
    Answer a = std::move(answers_.front());
    answers_.pop_front();
    return a;
}

BoxAnswer HeadlessPlatform::messageBox(const std::string& text, const std::string& title,
                                       BoxStyle) {
    const auto answer = nextAnswer(title, text, false);
    if (!answer)
        return BoxAnswer::None;
    waitInBox(answer->afterMs);
    switch (answer->reply) {
    case Reply::Yes:
        return BoxAnswer::Yes;
    case Reply::No:
        return BoxAnswer::No;
    default:
        return BoxAnswer::Ok;
    }
}

std::optional<std::string> HeadlessPlatform::inputBox(const std::string& prompt,
                                                      const std::string& title,
                                                      const std::string& initial,
                                                      bool wholeNumber) {
    const auto answer = nextAnswer(title, prompt, true);
    if (!answer)
        return std::nullopt;
    waitInBox(answer->afterMs);
    switch (answer->reply) {
    case Reply::InputOk:
        return initial;
    case Reply::InputPasted:
        return answer->text;
    case Reply::InputTyped: {
        if (!wholeNumber)
            return answer->text;
        std::string typed;
        for (char c : answer->text)
            if ((c >= '0' && c <= '9') || c == '-')
                typed += c;
        return typed;
    }
    default:
        return std::nullopt;
    }
}

MenuItem* HeadlessPlatform::popupMenu(Model& model) {
    std::optional<std::string> choice = std::move(menuChoice_);
    menuChoice_.reset();
    if (!choice)
        return nullptr;
    for (MenuItem* item : model.menu()) {
        if (item->caption() != *choice || item->separator())
            continue;
        return item;
    }
    return nullptr;
}

void HeadlessPlatform::balloon(const std::string& title, const std::string& text, int icon,
                               int timeoutMs) {
    balloons_.push_back(Balloon{title, text, icon < 0 || icon > 3 ? 1 : icon, timeoutMs});
}

std::vector<std::string> HeadlessPlatform::takeProblems() {
    std::vector<std::string> out;
    out.swap(problems_);
    return out;
}

} // namespace vmkt
