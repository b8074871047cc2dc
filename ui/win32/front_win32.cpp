#include "ui/win32/front_win32.h"

#include "app/utf16_windows.h"
#include "ui/win32/input_box_win32.h"
#include "ui/win32/resource_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace vmkt {

namespace {

constexpr wchar_t kOwnerClass[] = L"VmktOwner";
constexpr wchar_t kBarClass[] = L"VmktBar";
constexpr UINT kRunQueued = WM_APP + 1;
constexpr UINT kTrayMessage = WM_APP + 2;
constexpr UINT kTrayId = 1;
constexpr int kFirstControlId = 1000;

constexpr COLORREF kOrange = RGB(255, 128, 0);
constexpr COLORREF kLightYellow = RGB(255, 255, 128);
constexpr COLORREF kFrameGrey = RGB(128, 128, 128);
// Every list item is this much taller than the default item height.
constexpr int kModeItemExtra = 3;
constexpr int kActionItemExtra = 1;
// Height of a combo box with its list dropped.
constexpr int kDroppedHeight = 160;

std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void copyInto(wchar_t* out, std::size_t size, const std::wstring& text) {
    const std::size_t n = std::min(text.size(), size - 1);
    std::copy_n(text.begin(), n, out);
    out[n] = L'\0';
}

// The icon for the notification area: the first image of the program
// icon's list that is 16 pixels wide, else its first 32-pixel image.
HICON loadTrayIcon(HINSTANCE instance) {
#pragma pack(push, 2)
    struct Entry {
        BYTE width, height, colours, reserved;
        WORD planes, bits;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    HRSRC group = FindResourceW(instance, MAKEINTRESOURCEW(kIconId), RT_GROUP_ICON);
    if (!group)
        return nullptr;
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(instance, group)));
    const DWORD size = SizeofResource(instance, group);
    if (!dir || size < 6)
        return nullptr;
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    const Entry* chosen = nullptr;
    for (int want : {16, 32}) {
        for (WORD i = 0; i < count && !chosen; ++i) {
            if (6 + (i + 1) * sizeof(Entry) > size)
                break;
            const auto* e = reinterpret_cast<const Entry*>(dir + 6 + i * sizeof(Entry));
            if (e->width == want)
                chosen = e;
        }
        if (chosen)
            break;
    }
    if (!chosen)
        return nullptr;
    HRSRC image = FindResourceW(instance, MAKEINTRESOURCEW(chosen->id), RT_ICON);
    if (!image)
        return nullptr;
    auto* bits = static_cast<BYTE*>(LockResource(LoadResource(instance, image)));
    if (!bits)
        return nullptr;
    return CreateIconFromResourceEx(bits, SizeofResource(instance, image), TRUE, 0x00030000, 16, 16,
                                    LR_DEFAULTCOLOR);
}

Win32Front* frontOf(HWND hwnd) {
    return reinterpret_cast<Win32Front*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK bootstrapProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

Win32Front::Win32Front(HINSTANCE instance, WindowsTimers& timers, SoundOutput& sound)
    : instance_(instance), timers_(timers), sound_(sound) {}

Win32Front::~Win32Front() {
    removeTrayIcon();
    if (bar_)
        DestroyWindow(bar_);
    if (owner_)
        DestroyWindow(owner_);
    for (HFONT f : {hideFont_, closeFont_})
        if (f)
            DeleteObject(f);
    for (HICON i : {bigIcon_, smallIcon_, trayIcon_})
        if (i)
            DestroyIcon(i);
}

// ---- creation ---------------------------------------------------------------

bool Win32Front::create(Model& model) {
    model_ = &model;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    bigIcon_ =
        static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    trayIcon_ = loadTrayIcon(instance_);

    WNDCLASSEXW owner{};
    owner.cbSize = sizeof owner;
    owner.lpfnWndProc = ownerProc;
    owner.hInstance = instance_;
    owner.lpszClassName = kOwnerClass;
    WNDCLASSEXW bar{};
    bar.cbSize = sizeof bar;
    bar.lpfnWndProc = barProc;
    bar.hInstance = instance_;
    bar.hIcon = bigIcon_;
    bar.hIconSm = smallIcon_;
    bar.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    bar.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    bar.lpszClassName = kBarClass;
    if (!RegisterClassExW(&owner) || !RegisterClassExW(&bar))
        return false;

    const std::wstring title = toWide(model.窗口.title());
    // The strip has no taskbar button: it is owned by a tool window that is
    // never shown. That window also takes the timers and the tray icon's
    // messages, which go on while the strip is hidden.
    owner_ = CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, title.c_str(), WS_POPUP, 0, 0, 0, 0,
                             nullptr, nullptr, instance_, this);
    if (!owner_)
        return false;
    const Window& w = model.窗口;
    bar_ =
        CreateWindowExW(WS_EX_TOPMOST, kBarClass, title.c_str(), WS_POPUP | WS_CLIPCHILDREN,
                        w.left(), w.top(), w.width(), w.height(), owner_, nullptr, instance_, this);
    if (!bar_)
        return false;
    SetWindowPos(bar_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    guiFont_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    hideFont_ =
        CreateFontW(-19, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"");
    closeFont_ =
        CreateFontW(-17, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"");
    if (!createControls())
        return false;

    timers_.setWindow(owner_);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    addTrayIcon();
    model.setObserver(this);
    return true;
}

bool Win32Front::createControls() {
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, bar_, nullptr, instance_, nullptr);
    if (tooltip_)
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);

    const auto& all = model_->controls();
    windows_.assign(all.size(), nullptr);
    updating_ = true;
    for (std::size_t i = 0; i < all.size(); ++i) {
        Control& c = *all[i];
        // The window itself, the timers, the tray icon, the menu and the
        // painted frame have no child window.
        if (c.kind() != Kind::Label && c.kind() != Kind::EditBox && c.kind() != Kind::ComboBox &&
            c.kind() != Kind::Button)
            continue;
        HWND hwnd = createControl(c, kFirstControlId + static_cast<int>(i));
        if (!hwnd) {
            updating_ = false;
            return false;
        }
        windows_[i] = hwnd;
        controls_[hwnd] = &c;
    }
    updating_ = false;

    // Stacking where controls overlap: the fields above the unit label, which
    // lies above the status label; the hide button above the close button.
    for (const char* name :
         {"标签2", "标签设定", "时1", "分1", "秒1", "超级按钮1", "超级按钮最小化"})
        if (Control* c = model_->find(name))
            SetWindowPos(windowOf(*c), HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

HWND Win32Front::createControl(Control& c, int id) {
    const Rect r = c.place();
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
    auto make = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int height) {
        return CreateWindowExW(0, cls, text.c_str(), child | style, r.x, r.y, r.w, height, bar_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                               nullptr);
    };
    HWND hwnd = nullptr;
    switch (c.kind()) {
    case Kind::Label: {
        const auto& l = static_cast<const Label&>(c);
        hwnd = make(L"STATIC", toWide(l.caption()),
                    (l.centred() ? SS_CENTER : SS_LEFT) | SS_CENTERIMAGE | SS_NOPREFIX | WS_BORDER |
                        (l.visible() ? WS_VISIBLE : 0),
                    r.h);
        if (hwnd)
            SetWindowSubclass(hwnd, labelProc, 1, 0);
        break;
    }
    case Kind::EditBox: {
        const auto& e = static_cast<const EditBox&>(c);
        hwnd = make(L"EDIT", toWide(e.text()),
                    ES_CENTER | ES_AUTOHSCROLL | WS_TABSTOP | (e.visible() ? WS_VISIBLE : 0), r.h);
        if (hwnd)
            SetWindowSubclass(hwnd, editProc, 1, reinterpret_cast<DWORD_PTR>(this));
        break;
    }
    case Kind::ComboBox: {
        const auto& b = static_cast<const ComboBox&>(c);
        hwnd = make(L"COMBOBOX", L"",
                    CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_VISIBLE |
                        (b.disabled() ? WS_DISABLED : 0),
                    kDroppedHeight);
        if (!hwnd)
            break;
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont_), FALSE);
        for (const Text& item : b.items())
            SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
        const int extra = &c == &model_->组合框1 ? kModeItemExtra : kActionItemExtra;
        const auto item = SendMessageW(hwnd, CB_GETITEMHEIGHT, 0, 0);
        if (item > 0)
            SendMessageW(hwnd, CB_SETITEMHEIGHT, 0, item + extra);
        // The closed box is as high as its place.
        RECT box;
        GetWindowRect(hwnd, &box);
        const auto field = SendMessageW(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        const LONG off = r.h - (box.bottom - box.top);
        if (field > 0 && off != 0)
            SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + off);
        SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(b.selection()), 0);
        return hwnd;
    }
    case Kind::Button: {
        const auto& b = static_cast<const Button&>(c);
        hwnd = make(L"BUTTON", toWide(b.caption()), BS_OWNERDRAW | WS_TABSTOP | WS_VISIBLE, r.h);
        if (!hwnd)
            break;
        SetWindowSubclass(hwnd, buttonProc, 1, reinterpret_cast<DWORD_PTR>(this));
        HFONT font = &c == &model_->超级按钮最小化 ? hideFont_
                     : &c == &model_->超级按钮1    ? closeFont_
                                                   : guiFont_;
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (tooltip_) {
            std::wstring tip = toWide(b.tip());
            TOOLINFOW ti{};
            ti.cbSize = TTTOOLINFOW_V2_SIZE;
            ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            ti.hwnd = bar_;
            ti.uId = reinterpret_cast<UINT_PTR>(hwnd);
            ti.lpszText = tip.data();
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
        return hwnd;
    }
    default:
        return nullptr;
    }
    if (hwnd)
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont_), FALSE);
    return hwnd;
}

// ---- the tray icon ----------------------------------------------------------

void Win32Front::addTrayIcon() {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = owner_;
    nid.uID = kTrayId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kTrayMessage;
    nid.hIcon = trayIcon_ ? trayIcon_ : smallIcon_;
    copyInto(nid.szTip, std::size(nid.szTip), toWide(model_->托盘图标1.tip()));
    // When the shell announces a new notification area that still holds our
    // icon, the add fails: the icon is then brought up to date instead.
    trayAdded_ = Shell_NotifyIconW(NIM_ADD, &nid) || Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void Win32Front::removeTrayIcon() {
    if (!trayAdded_)
        return;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = owner_;
    nid.uID = kTrayId;
    Shell_NotifyIconW(NIM_DELETE, &nid);
    trayAdded_ = false;
}

void Win32Front::balloon(const std::string& title, const std::string& text, int icon,
                         int timeoutMs) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = owner_;
    nid.uID = kTrayId;
    nid.uVersion = NOTIFYICON_VERSION;
    if (!Shell_NotifyIconW(NIM_SETVERSION, &nid))
        return;
    nid.uFlags = NIF_INFO;
    copyInto(nid.szInfoTitle, std::size(nid.szInfoTitle), toWide(title));
    copyInto(nid.szInfo, std::size(nid.szInfo), toWide(text));
    static constexpr DWORD kinds[] = {NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR};
    nid.dwInfoFlags = icon >= 0 && icon <= 3 ? kinds[icon] : NIIF_INFO;
    nid.uTimeout = static_cast<UINT>(timeoutMs < 0 ? 0 : timeoutMs);
    Shell_NotifyIconW(NIM_MODIFY, &nid);
}

// The level-1 items form the menu; the level-2 items after an item form its
// submenu. Command identifiers are positions in the model's menu, plus one.
MenuItem* Win32Front::popupMenu(Model& model) {
    const auto& items = model.menu();
    HMENU menu = CreatePopupMenu();
    HMENU sub = nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& m = *items[i];
        if (m.hidden() || m.level() < 1)
            continue;
        HMENU into = m.level() >= 2 && sub ? sub : menu;
        if (m.level() < 2)
            sub = nullptr;
        if (m.separator()) {
            AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const bool opens = m.level() < 2 && i + 1 < items.size() && items[i + 1]->level() >= 2;
        const UINT state = (m.disabled() ? MF_GRAYED : 0) | (m.checked() ? MF_CHECKED : 0);
        const std::wstring caption = toWide(m.caption());
        if (opens) {
            sub = CreatePopupMenu();
            AppendMenuW(into, MF_POPUP | MF_STRING | state, reinterpret_cast<UINT_PTR>(sub),
                        caption.c_str());
        } else {
            AppendMenuW(into, MF_STRING | state, i + 1, caption.c_str());
        }
    }
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if its owner is the
    // foreground window; the null message afterwards lets it close for good.
    SetForegroundWindow(owner_);
    UINT chosen = 0;
    {
        Modal modal(*this);
        chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x + 3,
                                                  at.y + 3, 0, owner_, nullptr));
    }
    PostMessageW(owner_, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (chosen == 0 || chosen > items.size())
        return nullptr;
    return items[chosen - 1];
}

// ---- the boxes --------------------------------------------------------------

BoxAnswer Win32Front::messageBox(const std::string& text, const std::string& title,
                                 BoxStyle style) {
    UINT flags = MB_TASKMODAL;
    switch (style) {
    case BoxStyle::YesNoWarning:
        flags |= MB_YESNO | MB_ICONEXCLAMATION;
        break;
    case BoxStyle::YesNoQuestion:
        flags |= MB_YESNO | MB_ICONQUESTION;
        break;
    case BoxStyle::OkInformation:
        flags |= MB_OK | MB_ICONINFORMATION;
        break;
    }
    int answer = 0;
    {
        Modal modal(*this);
        answer = MessageBoxW(nullptr, toWide(text).c_str(), toWide(title).c_str(), flags);
    }
    switch (answer) {
    case IDYES:
        return BoxAnswer::Yes;
    case IDNO:
        return BoxAnswer::No;
    case IDOK:
        return BoxAnswer::Ok;
    default:
        return BoxAnswer::None;
    }
}

std::optional<std::string> Win32Front::inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& initial, bool wholeNumber) {
    std::optional<std::wstring> text;
    {
        Modal modal(*this);
        text =
            askText(instance_, bar_, toWide(prompt), toWide(title), toWide(initial), wholeNumber);
    }
    if (!text)
        return std::nullopt;
    return toUtf8(*text);
}

// ---- the rest of the platform ----------------------------------------------

std::int64_t Win32Front::localMillis() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME ft;
    if (!SystemTimeToFileTime(&local, &ft))
        return 0;
    // Counted from midnight of 1 January 1601, so that the time of day is the
    // value modulo one day.
    const auto ticks = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000);
}

int Win32Front::screenWidth() {
    return GetSystemMetrics(SM_CXSCREEN);
}

void Win32Front::processPendingEvents() {
    Modal modal(*this);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (model_)
        model_->runQueued();
}

void Win32Front::blockFor(int ms) {
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

int Win32Front::run() {
    settle();
    MSG msg;
    while (!ended_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

void Win32Front::settle() {
    if (!model_)
        return;
    model_->runQueued();
    if (modalDepth_ == 0)
        model_->destroyIfRequested();
}

// ---- showing the model ------------------------------------------------------

Control* Win32Front::controlOf(HWND hwnd) const {
    const auto it = controls_.find(hwnd);
    return it == controls_.end() ? nullptr : it->second;
}

HWND Win32Front::windowOf(const Control& control) const {
    const auto& all = model_->controls();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i] == &control)
            return windows_[i];
    return nullptr;
}

// Writes a control's text without taking the change for the user's input,
// and only when it differs, so that the caret of a field being typed into
// stays where it is.
void Win32Front::setText(HWND hwnd, const std::string& text) {
    const std::wstring wide = toWide(text);
    if (windowText(hwnd) == wide)
        return;
    updating_ = true;
    SetWindowTextW(hwnd, wide.c_str());
    updating_ = false;
}

void Win32Front::propertyChanged(Control& control, Prop prop) {
    if (ended_)
        return;
    if (control.kind() == Kind::Window) {
        const Window& w = model_->窗口;
        switch (prop) {
        case Prop::Left:
        case Prop::Top:
        case Prop::Width:
        case Prop::Height:
            SetWindowPos(bar_, nullptr, w.left(), w.top(), w.width(), w.height(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case Prop::Visible:
            if (w.visible()) {
                ShowWindow(bar_, SW_SHOWNA);
                SetWindowPos(bar_, HWND_TOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            } else {
                ShowWindow(bar_, SW_HIDE);
            }
            break;
        default:
            break;
        }
        return;
    }
    HWND hwnd = windowOf(control);
    if (!hwnd)
        return;
    auto show = [hwnd](bool v) {
        ShowWindow(hwnd, v ? SW_SHOWNA : SW_HIDE);
    };
    switch (control.kind()) {
    case Kind::EditBox: {
        const auto& e = static_cast<const EditBox&>(control);
        if (prop == Prop::Text)
            setText(hwnd, e.text());
        else if (prop == Prop::Visible)
            show(e.visible());
        else if (prop == Prop::Colour)
            InvalidateRect(hwnd, nullptr, TRUE);
        break;
    }
    case Kind::Label: {
        const auto& l = static_cast<const Label&>(control);
        if (prop == Prop::Caption)
            setText(hwnd, l.caption());
        else if (prop == Prop::Visible)
            show(l.visible());
        else if (prop == Prop::Colour)
            InvalidateRect(hwnd, nullptr, TRUE);
        break;
    }
    case Kind::ComboBox: {
        const auto& b = static_cast<const ComboBox&>(control);
        if (prop == Prop::Selection)
            SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(b.selection()), 0);
        else if (prop == Prop::Disabled)
            EnableWindow(hwnd, !b.disabled());
        break;
    }
    case Kind::Button: {
        const auto& b = static_cast<const Button&>(control);
        if (prop == Prop::Caption) {
            setText(hwnd, b.caption());
            InvalidateRect(hwnd, nullptr, TRUE);
        } else if (prop == Prop::Tip && tooltip_) {
            std::wstring tip = toWide(b.tip());
            TOOLINFOW ti{};
            ti.cbSize = TTTOOLINFOW_V2_SIZE;
            ti.hwnd = bar_;
            ti.uId = reinterpret_cast<UINT_PTR>(hwnd);
            ti.lpszText = tip.data();
            SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
        break;
    }
    default:
        break;
    }
}

void Win32Front::eventQueued() {
    if (owner_ && !ended_)
        PostMessageW(owner_, kRunQueued, 0, 0);
}

// The window goes with every control, the tray icon leaves the notification
// area, the sounds stop and the event loop ends.
void Win32Front::destroyed() {
    if (ended_)
        return;
    ended_ = true;
    timers_.stopAll();
    sound_.stopAll();
    removeTrayIcon();
    controls_.clear();
    hover_.clear();
    if (bar_)
        DestroyWindow(bar_);
    bar_ = nullptr;
    tooltip_ = nullptr;
    if (owner_)
        DestroyWindow(owner_);
    owner_ = nullptr;
    PostQuitMessage(0);
}

// ---- window procedures ------------------------------------------------------

LRESULT CALLBACK Win32Front::ownerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (Win32Front* f = frontOf(hwnd))
        return f->onOwner(hwnd, msg, wp, lp);
    return bootstrapProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32Front::barProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (Win32Front* f = frontOf(hwnd))
        return f->onBar(hwnd, msg, wp, lp);
    return bootstrapProc(hwnd, msg, wp, lp);
}

LRESULT Win32Front::onOwner(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        // A new notification area: the icon goes in again.
        if (!ended_)
            addTrayIcon();
        return 0;
    }
    switch (msg) {
    case WM_TIMER:
        if (const auto timer = timers_.onTimer(wp); timer && model_ && !ended_) {
            model_->tick(*timer);
            settle();
        }
        return 0;
    case kRunQueued:
        settle();
        return 0;
    case kTrayMessage:
        if (!model_ || ended_ || wp != kTrayId)
            return 0;
        if (LOWORD(lp) == WM_LBUTTONDBLCLK) {
            model_->托盘图标1.userDoubleClick();
            settle();
        } else if (LOWORD(lp) == WM_RBUTTONUP) {
            model_->托盘图标1.userRightRelease();
            settle();
        }
        return 0;
    case WM_CLOSE:
        // Not the user's window: a close request goes to the strip alone.
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// A close request (WM_CLOSE) or the end of the session: the window's
// can-be-closed handler decides; only a deny keeps the window.
void Win32Front::closeRequest(bool endOfSession, LRESULT& result) {
    const BoxAnswer answer =
        model_->窗口.onCanBeClosed ? model_->窗口.onCanBeClosed() : BoxAnswer::None;
    const bool allowed = answer != BoxAnswer::No;
    if (allowed)
        model_->requestDestroy();
    result = endOfSession ? (allowed ? TRUE : FALSE) : 0;
    // At the end of the session the destruction runs from the queue, after
    // the system has had its answer.
    if (!endOfSession)
        settle();
}

LRESULT Win32Front::onBar(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCHITTEST: {
        // The background, the labels (which let the hit through) and the frame
        // drag the strip like a title bar.
        const LRESULT hit = DefWindowProcW(hwnd, msg, wp, lp);
        return hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONUP:
        return 0;
    case WM_PAINT:
        paintBar();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
        auto* dc = reinterpret_cast<HDC>(wp);
        Colour colour = kBlack;
        if (Control* c = controlOf(reinterpret_cast<HWND>(lp))) {
            if (c->kind() == Kind::Label)
                colour = static_cast<Label*>(c)->colour();
            else if (c->kind() == Kind::EditBox)
                colour = static_cast<EditBox*>(c)->colour();
        }
        SetTextColor(dc, colour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DRAWITEM:
        drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_COMMAND: {
        Control* c = controlOf(reinterpret_cast<HWND>(lp));
        if (!c || updating_ || ended_)
            return 0;
        const WORD code = HIWORD(wp);
        if (c->kind() == Kind::EditBox && code == EN_CHANGE) {
            static_cast<EditBox*>(c)->userEdit(toUtf8(windowText(reinterpret_cast<HWND>(lp))));
            settle();
        } else if (c->kind() == Kind::ComboBox && code == CBN_SELENDOK) {
            const auto index = SendMessageW(reinterpret_cast<HWND>(lp), CB_GETCURSEL, 0, 0);
            static_cast<ComboBox*>(c)->userChoose(static_cast<int>(index));
            settle();
        } else if (c->kind() == Kind::Button && code == BN_CLICKED) {
            sound_.click();
            static_cast<Button*>(c)->userClick();
            settle();
        }
        return 0;
    }
    case WM_CLOSE: {
        LRESULT result = 0;
        if (model_ && !ended_)
            closeRequest(false, result);
        return result;
    }
    case WM_QUERYENDSESSION: {
        LRESULT result = TRUE;
        if (model_ && !ended_)
            closeRequest(true, result);
        return result;
    }
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void Win32Front::paintBar() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(bar_, &ps);
    // The grey frame around the start button.
    const Rect r = model_->外形框1.place();
    HPEN pen = CreatePen(PS_SOLID, 1, kFrameGrey);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.x, r.y, r.x + r.w, r.y + r.h);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    EndPaint(bar_, &ps);
}

// Flat: no edge and no focus rectangle in any state, the caption in the
// colour of the state, one pixel right and down while pressed.
void Win32Front::drawButton(const DRAWITEMSTRUCT& item) {
    Control* c = controlOf(item.hwndItem);
    if (!c || c->kind() != Kind::Button)
        return;
    const auto& b = *static_cast<Button*>(c);
    const bool start = &b == &model_->超级按钮开始;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool focused = item.itemState & ODS_FOCUS;
    const auto h = hover_.find(item.hwndItem);
    const bool over = h != hover_.end() && h->second;
    COLORREF colour;
    if (over || pressed)
        colour = start ? RGB(0, 0, 0) : kOrange;
    else if (focused)
        colour = start ? kLightYellow : RGB(0, 0, 0);
    else
        colour = start ? kOrange : RGB(0, 0, 0);

    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    const std::wstring caption = toWide(b.caption());
    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    RECT area = item.rcItem;
    if (pressed)
        OffsetRect(&area, 1, 1);
    // Centred both ways, wrapped at word breaks if it were too wide.
    RECT measure = area;
    const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    const int height = DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measure,
                                 format | DT_CALCRECT);
    area.top += (area.bottom - area.top - height) / 2;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &area, format);
    SelectObject(dc, oldFont);
}

// The labels' one-pixel border is black, whatever the system's frame colour.
LRESULT CALLBACK Win32Front::labelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                       DWORD_PTR) {
    if (msg == WM_NCPAINT) {
        HDC dc = GetWindowDC(hwnd);
        RECT r;
        GetWindowRect(hwnd, &r);
        OffsetRect(&r, -r.left, -r.top);
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(hwnd, dc);
        return 0;
    }
    if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, labelProc, id);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// The fields: typing takes only the digits and "-"; a double-click is the
// box's double-clicked event.
LRESULT CALLBACK Win32Front::editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                      DWORD_PTR self) {
    auto* f = reinterpret_cast<Win32Front*>(self);
    switch (msg) {
    case WM_CHAR: {
        const auto c = static_cast<wchar_t>(wp);
        if (c >= 0x20 && c != 0x7F) {
            const std::string typed = toUtf8(std::wstring_view(&c, 1));
            if (!EditBox::acceptsTyped(typed))
                return 0;
        }
        break;
    }
    case WM_LBUTTONDBLCLK: {
        const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
        Control* c = f->controlOf(hwnd);
        if (c && c->kind() == Kind::EditBox && !f->ended_) {
            static_cast<EditBox*>(c)->userDoubleClick();
            f->settle();
        }
        return r;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, editProc, id);
        break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// The buttons: the pointer-over state (tracked also while the program is not
// active) with a click when the pointer enters, and every press a click of
// its own, a quick second press included.
LRESULT CALLBACK Win32Front::buttonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                        DWORD_PTR self) {
    auto* f = reinterpret_cast<Win32Front*>(self);
    switch (msg) {
    case WM_MOUSEMOVE: {
        bool& over = f->hover_[hwnd];
        if (!over) {
            over = true;
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&t);
            f->sound_.click();
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        break;
    }
    case WM_MOUSELEAVE:
        f->hover_[hwnd] = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        break;
    case WM_LBUTTONDBLCLK:
        return DefSubclassProc(hwnd, WM_LBUTTONDOWN, wp, lp);
    case WM_NCDESTROY:
        f->hover_.erase(hwnd);
        RemoveWindowSubclass(hwnd, buttonProc, id);
        break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

} // namespace vmkt
