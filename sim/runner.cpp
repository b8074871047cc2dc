#include "sim/runner.h"

#include "app/platform_headless.h"
#include "app/program.h"
#include "engine/conversions.h"
#include "sim/scenario.h"

#include <charconv>
#include <fstream>
#include <memory>
#include <sstream>

namespace vmkt::sim {

namespace {

// A step that cannot run at all: the scenario fails at once.
struct StepError {
    std::string message;
};

std::string show(const Value& v) {
    if (const auto* t = std::get_if<Text>(&v))
        return quote(*t);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "true" : "false";
    return std::to_string(std::get<std::int64_t>(v));
}

// The range comes first: converting a double beyond 64 bits is undefined.
std::string showNumber(double v) {
    if (v > -9e18 && v < 9e18 && v == static_cast<double>(static_cast<std::int64_t>(v)))
        return std::to_string(static_cast<std::int64_t>(v));
    return 数值转文本(v);
}

class Runner {
public:
    Runner(std::string label, std::ostream& out) : label_(std::move(label)), out_(out) {}

    bool run(const ParseResult& parsed) {
        for (const Step& step : parsed.steps) {
            if (parsed.errorLine && step.line >= parsed.errorLine)
                break;
            line_ = step.line;
            tokens_ = &step.tokens;
            try {
                perform();
            } catch (const StepError& e) {
                report(e.message);
                return false;
            }
            for (const std::string& problem : world_.takeProblems())
                report(problem);
        }
        if (parsed.errorLine) {
            line_ = parsed.errorLine;
            report(parsed.error);
            return false;
        }
        return passed_;
    }

private:
    // ---- reporting ----
    // Every report is one line, so that a line break in what was found (the
    // text of an unexpected box, say) is written as the escape \r or \n.
    void report(const std::string& what) {
        out_ << label_ << ':' << line_ << ": ";
        for (char c : what) {
            if (c == '\r')
                out_ << "\\r";
            else if (c == '\n')
                out_ << "\\n";
            else
                out_ << c;
        }
        out_ << '\n';
        passed_ = false;
    }
    void check(bool ok, const std::string& expected, const std::string& found) {
        if (!ok)
            report("expected " + expected + ", found " + found);
    }

    // ---- tokens ----
    std::size_t count() const { return tokens_->size(); }
    void need(std::size_t n) const {
        if (count() != n)
            throw StepError{"expected " + std::to_string(n - 1) + " argument(s) to '" +
                            (*tokens_)[0].text + "'"};
    }
    const std::string& word(std::size_t i) const {
        if (i >= count() || (*tokens_)[i].quoted)
            throw StepError{"a bare word is missing at token " + std::to_string(i + 1)};
        return (*tokens_)[i].text;
    }
    bool isWord(std::size_t i, std::string_view w) const {
        return i < count() && !(*tokens_)[i].quoted && (*tokens_)[i].text == w;
    }
    const std::string& text(std::size_t i) const {
        if (i >= count() || !(*tokens_)[i].quoted)
            throw StepError{"a quoted text is missing at token " + std::to_string(i + 1)};
        return (*tokens_)[i].text;
    }
    static bool parseNumber(const std::string& s, double& v) {
        if (s.empty())
            return false;
        // from_chars takes no plus sign; a leading "-" it reads itself.
        const auto [end, ec] =
            std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
        return ec == std::errc() && end == s.data() + s.size();
    }
    double number(std::size_t i) const {
        double v = 0;
        if (!parseNumber(word(i), v))
            throw StepError{"not a number: " + word(i)};
        return v;
    }
    std::int64_t integer(std::size_t i) const {
        const double v = number(i);
        if (!(v >= -9.2e18 && v <= 9.2e18) ||
            v != static_cast<double>(static_cast<std::int64_t>(v)))
            throw StepError{"not a whole number: " + word(i)};
        return static_cast<std::int64_t>(v);
    }
    RegRoot root(std::size_t i) const {
        if (word(i) == "HKCU")
            return RegRoot::CurrentUser;
        if (word(i) == "HKLM")
            return RegRoot::LocalMachine;
        throw StepError{"unknown root: " + word(i)};
    }
    static std::pair<std::string, std::string> splitPath(const std::string& path) {
        const std::size_t at = path.rfind('\\');
        if (at == std::string::npos)
            return {std::string(), path};
        return {path.substr(0, at), path.substr(at + 1)};
    }

    // ---- the program ----
    Program& program() {
        if (!program_)
            throw StepError{"the program has not been started"};
        return *program_;
    }
    Control& control(const std::string& name) {
        Control* c = program().find(name);
        if (!c)
            throw StepError{"no control named " + name};
        return *c;
    }
    template <class T> T& control(const std::string& name, Kind kind, const char* what) {
        Control& c = control(name);
        if (c.kind() != kind)
            throw StepError{name + " is not " + what};
        return static_cast<T&>(c);
    }
    // Whether the user can reach the bar's controls now.
    bool barTakesInput() { return !program().destroyed() && program().窗口.visible(); }
    void settle() { world_.settle(); }

    void perform() {
        const std::string& name = word(0);
        if (name == "expect")
            return expect();
        if (name == "screen") {
            need(2);
            world_.setScreenWidth(static_cast<int>(integer(1)));
        } else if (name == "clock") {
            need(2);
            world_.setTimeOfDay(clockTime(word(1)));
        } else if (name == "path") {
            need(2);
            world_.setProgramPath(text(1));
        } else if (name == "reg") {
            regStep();
        } else if (name == "deny") {
            need(2);
            world_.registry().deny(root(1));
        } else if (name == "no-sound") {
            need(1);
            world_.sound().setMissing(true);
        } else if (name == "start") {
            need(1);
            if (program_)
                throw StepError{"the program has already been started"};
            program_ = std::make_unique<Program>(world_.platform());
            world_.attach(*program_);
            program_->start();
            settle();
        } else if (name == "answer") {
            answerStep();
        } else if (name == "input") {
            inputStep();
        } else {
            act(name);
        }
    }

    static std::int64_t clockTime(const std::string& s) {
        int h = 0, m = 0, sec = 0, ms = 0;
        char c1 = 0, c2 = 0, dot = 0;
        std::istringstream in(s);
        in >> h >> c1 >> m >> c2 >> sec;
        bool ok = !in.fail() && c1 == ':' && c2 == ':';
        if (ok && in.peek() == '.') {
            in >> dot;
            std::string frac;
            in >> frac;
            ok = frac.size() == 3 && frac.find_first_not_of("0123456789") == std::string::npos;
            if (ok)
                ms = std::stoi(frac);
        }
        ok = ok && (in.eof() || in.peek() == EOF) && h >= 0 && h < 24 && m >= 0 && m < 60 &&
             sec >= 0 && sec < 60;
        if (!ok)
            throw StepError{"bad clock time: " + s};
        return ((h * 60 + m) * 60 + sec) * std::int64_t{1000} + ms;
    }

    void regStep() {
        const RegRoot r = root(1);
        const auto [key, value] = splitPath(word(2));
        if (isWord(3, "absent")) {
            need(4);
            world_.registry().remove(r, key, value);
        } else if (isWord(3, "=") && isWord(4, "dword")) {
            need(6);
            integer(5);
            world_.registry().putOther(r, key, value);
        } else if (isWord(3, "=")) {
            need(5);
            world_.registry().putText(r, key, value, text(4));
        } else {
            throw StepError{"reg: expected '= \"TEXT\"', '= dword N' or 'absent'"};
        }
    }

    void answerStep() {
        HeadlessPlatform::Answer a;
        const std::string& kind = word(1);
        if (kind == "yes")
            a.reply = HeadlessPlatform::Reply::Yes;
        else if (kind == "no")
            a.reply = HeadlessPlatform::Reply::No;
        else if (kind == "ok")
            a.reply = HeadlessPlatform::Reply::Ok;
        else
            throw StepError{"answer: expected yes, no or ok"};
        if (count() > 2) {
            need(4);
            if (!isWord(2, "after"))
                throw StepError{"answer: expected 'after MS'"};
            a.afterMs = integer(3);
        } else {
            need(2);
        }
        world_.queueAnswer(a);
    }

    void inputStep() {
        HeadlessPlatform::Answer a;
        if (isWord(1, "cancel")) {
            need(2);
            a.reply = HeadlessPlatform::Reply::InputCancel;
        } else if (isWord(1, "ok")) {
            if (count() == 2) {
                a.reply = HeadlessPlatform::Reply::InputOk;
            } else if (isWord(2, "paste")) {
                need(4);
                a.reply = HeadlessPlatform::Reply::InputPasted;
                a.text = text(3);
            } else {
                need(3);
                a.reply = HeadlessPlatform::Reply::InputTyped;
                a.text = text(2);
            }
        } else {
            throw StepError{"input: expected ok or cancel"};
        }
        world_.queueAnswer(a);
    }

    // ---- acting ----
    void act(const std::string& name) {
        if (name == "wait") {
            need(2);
            const std::int64_t ms = integer(1);
            if (ms < 0)
                throw StepError{"wait: negative time"};
            program();
            world_.advance(ms);
            settle();
            return;
        }
        Program& p = program();
        if (name == "click") {
            need(2);
            auto& b = control<Button>(word(1), Kind::Button, "a button");
            if (barTakesInput()) {
                world_.sound().click();
                b.userClick();
            }
        } else if (name == "dblclick") {
            need(2);
            auto& e = control<EditBox>(word(1), Kind::EditBox, "an edit box");
            if (barTakesInput() && e.visible())
                e.userDoubleClick();
        } else if (name == "type") {
            need(3);
            auto& e = control<EditBox>(word(1), Kind::EditBox, "an edit box");
            const std::string& typed = text(2);
            for (std::size_t i = 0; i < typed.size();) {
                std::size_t len = 1;
                const auto b = static_cast<unsigned char>(typed[i]);
                if (b >= 0xF0)
                    len = 4;
                else if (b >= 0xE0)
                    len = 3;
                else if (b >= 0xC0)
                    len = 2;
                const std::string ch = typed.substr(i, len);
                i += len;
                if (barTakesInput() && e.visible() && EditBox::acceptsTyped(ch))
                    e.userEdit(e.text() + ch);
            }
        } else if (name == "backspace") {
            need(3);
            auto& e = control<EditBox>(word(1), Kind::EditBox, "an edit box");
            for (std::int64_t n = integer(2); n > 0; --n) {
                if (!barTakesInput() || !e.visible() || e.text().empty())
                    break;
                std::string t = e.text();
                std::size_t cut = t.size() - 1;
                while (cut > 0 && (static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80)
                    --cut;
                t.erase(cut);
                e.userEdit(t);
            }
        } else if (name == "paste") {
            need(3);
            auto& e = control<EditBox>(word(1), Kind::EditBox, "an edit box");
            if (barTakesInput() && e.visible())
                e.userEdit(text(2));
        } else if (name == "choose") {
            need(3);
            auto& c = control<ComboBox>(word(1), Kind::ComboBox, "a combo box");
            const std::int64_t index = integer(2);
            if (index < 0 || index >= static_cast<std::int64_t>(c.items().size()))
                throw StepError{"choose: " + word(1) + " has no item " + word(2)};
            if (barTakesInput())
                c.userChoose(static_cast<int>(index));
        } else if (name == "tray") {
            need(2);
            if (word(1) != "dblclick")
                throw StepError{"tray: expected dblclick"};
            if (!p.destroyed())
                p.托盘图标1.userDoubleClick();
        } else if (name == "menu") {
            need(2);
            const std::string& caption = word(1);
            bool known = false;
            for (MenuItem* item : p.menu())
                known = known || (!item->separator() && item->caption() == caption);
            if (!known)
                throw StepError{"no menu item " + caption};
            if (!p.destroyed()) {
                world_.choose(caption);
                p.托盘图标1.userRightRelease();
            }
        } else if (name == "close-request" || name == "end-session") {
            need(1);
            if (!p.destroyed()) {
                const BoxAnswer answer =
                    p.窗口.onCanBeClosed ? p.窗口.onCanBeClosed() : BoxAnswer::None;
                const bool allowed = answer != BoxAnswer::No;
                if (allowed)
                    p.requestDestroy();
                if (name == "end-session")
                    sessionAllowed_ = allowed;
            } else if (name == "end-session") {
                sessionAllowed_ = true;
            }
        } else {
            throw StepError{"unknown step: " + name};
        }
        settle();
    }

    // ---- checking ----
    void expect() {
        const std::string& what = word(1);
        if (what == "reg")
            return expectReg();
        if (what == "key")
            return expectKey();
        if (what == "fn")
            return expectFn();
        if (what == "box") {
            need(4);
            const auto& boxes = world_.boxes();
            const std::string want = quote(text(2)) + " " + quote(text(3));
            if (boxes.empty())
                return check(false, "box " + want, "no box");
            const auto& b = boxes.back();
            return check(b.title == text(2) && b.text == text(3), "box " + want,
                         quote(b.title) + " " + quote(b.text));
        }
        if (what == "boxes") {
            need(3);
            const auto n = static_cast<std::int64_t>(world_.boxes().size());
            return check(n == integer(2), word(2) + " boxes", std::to_string(n));
        }
        if (what == "plays") {
            need(3);
            const std::int64_t n = world_.sound().plays();
            return check(n == integer(2), word(2) + " plays", std::to_string(n));
        }
        if (what == "played")
            return expectPlayed();
        if (what == "sounding") {
            need(3);
            const std::int64_t n = world_.sound().sounding();
            return check(n == integer(2), word(2) + " sounding", std::to_string(n));
        }
        if (what == "power") {
            need(4);
            int n = 0;
            if (word(2) == "poweroff")
                n = world_.powerOffs();
            else if (word(2) == "suspend")
                n = world_.suspends();
            else if (word(2) == "display-off")
                n = world_.displayOffs();
            else
                throw StepError{"unknown power action: " + word(2)};
            return check(n == integer(3), "power " + word(2) + " " + word(3), std::to_string(n));
        }
        if (what == "balloons") {
            need(3);
            const auto n = static_cast<std::int64_t>(world_.balloons().size());
            return check(n == integer(2), word(2) + " balloons", std::to_string(n));
        }
        if (what == "balloon") {
            need(4);
            const std::string want = quote(text(2)) + " " + quote(text(3));
            if (world_.balloons().empty())
                return check(false, "balloon " + want, "no balloon");
            const auto& b = world_.balloons().back();
            return check(b.title == text(2) && b.text == text(3), "balloon " + want,
                         quote(b.title) + " " + quote(b.text));
        }
        if (what == "session") {
            need(3);
            if (word(2) != "refused" && word(2) != "allowed")
                throw StepError{"expect session: refused or allowed"};
            const std::string found =
                !sessionAllowed_ ? "no end of session" : (*sessionAllowed_ ? "allowed" : "refused");
            return check(found == word(2), "session " + word(2), found);
        }
        if (what == "exited") {
            need(3);
            const bool exited = program_ && program_->destroyed();
            return check(exited && integer(2) == 0, "exited " + word(2),
                         exited ? "exited 0" : "running");
        }
        if (what == "running") {
            need(2);
            const bool exited = program_ && program_->destroyed();
            return check(program_ && !exited, "running", !program_ ? "not started" : "exited 0");
        }
        if (what == "倒计剩余毫秒" || what == "闹铃剩余秒数") {
            need(3);
            const std::int64_t v =
                what == "倒计剩余毫秒" ? program().倒计剩余毫秒 : program().闹铃剩余秒数;
            return check(v == integer(2), what + " " + word(2), std::to_string(v));
        }
        expectProperty();
    }

    void expectProperty() {
        need(3);
        const std::string& target = word(1);
        const std::size_t dot = target.rfind('.');
        if (dot == std::string::npos)
            throw StepError{"unknown check: " + target};
        Control& c = control(target.substr(0, dot));
        const std::string prop = target.substr(dot + 1);
        Value found;
        if (!program().get(c, prop, found))
            throw StepError{c.name() + " has no property " + prop};
        const Token& t = (*tokens_)[2];
        bool ok = false;
        std::string expected;
        if (t.quoted) {
            expected = quote(t.text);
            const auto* s = std::get_if<Text>(&found);
            ok = s && *s == t.text;
        } else if (t.text == "true" || t.text == "false") {
            expected = t.text;
            const auto* b = std::get_if<bool>(&found);
            ok = b && *b == (t.text == "true");
        } else {
            const double want = number(2);
            expected = t.text;
            const auto* n = std::get_if<std::int64_t>(&found);
            ok = n && static_cast<double>(*n) == want;
        }
        check(ok, target + " " + expected, show(found));
    }

    void expectReg() {
        const RegRoot r = root(2);
        const auto [key, value] = splitPath(word(3));
        const auto stored = world_.registry().storedText(r, key, value);
        const std::string found = stored ? "= " + quote(*stored) : "absent";
        if (isWord(4, "absent")) {
            need(5);
            return check(!stored, "reg " + word(3) + " absent", found);
        }
        need(6);
        if (!isWord(4, "="))
            throw StepError{"expect reg: expected '= \"TEXT\"' or 'absent'"};
        check(stored && *stored == text(5), "reg " + word(3) + " = " + quote(text(5)), found);
    }

    void expectKey() {
        need(5);
        const RegRoot r = root(2);
        const std::string& key = word(3);
        const bool exists = world_.registry().keyExists(r, key);
        std::string names;
        for (const std::string& n : world_.registry().valueNames(r, key))
            names += (names.empty() ? "" : ",") + n;
        const std::string found = exists ? quote(names) : "absent";
        if (isWord(4, "absent"))
            return check(!exists, "key " + key + " absent", found);
        check(exists && names == text(4), "key " + key + " " + quote(text(4)), found);
    }

    void expectPlayed() {
        need(4);
        const auto& last = world_.sound().last();
        const std::string& clipName = word(2);
        const std::string& way = word(3);
        if (way != "once" && way != "looped")
            throw StepError{"expect played: once or looped"};
        if (clipName != "铃声0" && clipName != "铃声1" && clipName != "铃声2")
            throw StepError{"unknown clip: " + clipName};
        if (!last)
            return check(false, "played " + clipName + " " + way, "no player");
        std::string found = "another sound";
        for (const auto& [clip, n] :
             {std::pair{铃声0, "铃声0"}, {铃声1, "铃声1"}, {铃声2, "铃声2"}})
            if (last->samples.data() >= clip.data() &&
                last->samples.data() < clip.data() + clip.size())
                found = n;
        found += last->looped ? " looped" : " once";
        check(found == clipName + " " + way, "played " + clipName + " " + way, found);
    }

    void expectFn() {
        if (count() < 4)
            throw StepError{"expect fn: NAME ARG... RESULT"};
        const std::string& fn = word(2);
        const std::size_t last = count() - 1;
        auto arity = [&](std::size_t n) {
            if (count() != 3 + n + 1)
                throw StepError{fn + " takes " + std::to_string(n) + " argument(s)"};
        };
        auto i32 = [&](std::size_t i) {
            return static_cast<std::int32_t>(integer(i));
        };
        auto call = "fn " + fn;
        if (fn == "文本转整数") {
            arity(1);
            const std::int64_t got = 文本转整数(text(3));
            return check(got == integer(last), call + " -> " + word(last), std::to_string(got));
        }
        if (fn == "文本转数值") {
            arity(1);
            const double got = 文本转数值(text(3));
            return check(got == number(last), call + " -> " + word(last), showNumber(got));
        }
        if (fn == "数值转整数") {
            arity(1);
            const std::int64_t got = 数值转整数(number(3));
            return check(got == integer(last), call + " -> " + word(last), std::to_string(got));
        }
        if (fn == "计算毫秒") {
            arity(3);
            const std::int64_t got = 计算毫秒(i32(3), i32(4), i32(5));
            return check(got == integer(last), call + " -> " + word(last), std::to_string(got));
        }
        std::string got;
        if (fn == "整数转文本") {
            arity(1);
            got = 整数转文本(i32(3));
        } else if (fn == "数值转文本") {
            arity(1);
            got = 数值转文本(number(3));
        } else if (fn == "毫秒到文本") {
            arity(1);
            got = 毫秒到文本(i32(3));
        } else {
            throw StepError{"unknown routine: " + fn};
        }
        check(got == text(last), call + " -> " + quote(text(last)), quote(got));
    }

    std::string label_;
    std::ostream& out_;
    HeadlessPlatform world_;
    std::unique_ptr<Program> program_;
    std::optional<bool> sessionAllowed_;
    int line_ = 0;
    const std::vector<Token>* tokens_ = nullptr;
    bool passed_ = true;
};

} // namespace

bool runScenario(const std::string& label, std::string_view source, std::ostream& out) {
    Runner runner(label, out);
    return runner.run(parseScenario(source));
}

int runFiles(const std::vector<std::string>& paths, std::ostream& out) {
    int passed = 0, failed = 0;
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream source;
        if (in)
            source << in.rdbuf();
        if (!in) {
            out << path << ":0: cannot read the file\n";
            ++failed;
            continue;
        }
        if (runScenario(path, source.str(), out))
            ++passed;
        else
            ++failed;
    }
    out << passed << " passed, " << failed << " failed" << std::endl;
    return failed == 0 ? 0 : 1;
}

} // namespace vmkt::sim
