// The Windows front end: the strip as a borderless, topmost pop-up window
// with native controls, the tray icon with its popup menu and balloon, the
// message boxes and the input box. It shows the window model and feeds the
// user's input into it; it keeps no state of the clock's own.
#pragma once

#include "app/model.h"
#include "app/platform.h"
#include "ui/win32/timers_win32.h"

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace vmkt {

class Win32Front : public Clock, public Ui, public ModelObserver {
public:
    Win32Front(HINSTANCE instance, WindowsTimers& timers, SoundOutput& sound);
    ~Win32Front() override;
    Win32Front(const Win32Front&) = delete;
    Win32Front& operator=(const Win32Front&) = delete;

    // Creates the invisible owner window, the strip with every control (not
    // shown yet) and the tray icon, and starts showing the model. False when
    // a window cannot be created.
    bool create(Model& model);
    // The event loop: runs until the window has been destroyed.
    int run();
    // Runs the queued events and, outside every modal loop, a requested
    // destruction of the window.
    void settle();

    HWND barWindow() const { return bar_; }
    HWND ownerWindow() const { return owner_; }

    // Clock
    std::int64_t localMillis() override;
    // Ui
    int screenWidth() override;
    void processPendingEvents() override;
    void blockFor(int ms) override;
    BoxAnswer messageBox(const std::string& text, const std::string& title,
                         BoxStyle style) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial, bool wholeNumber) override;
    MenuItem* popupMenu(Model& model) override;
    void balloon(const std::string& title, const std::string& text, int icon,
                 int timeoutMs) override;
    // ModelObserver
    void propertyChanged(Control& control, Prop prop) override;
    void eventQueued() override;
    void destroyed() override;

private:
    static LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK barProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK labelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                      DWORD_PTR self);
    static LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR self);
    static LRESULT CALLBACK buttonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                       DWORD_PTR self);
    LRESULT onOwner(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT onBar(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    bool createControls();
    HWND createControl(Control& control, int id);
    void addTrayIcon();
    void removeTrayIcon();
    void drawButton(const DRAWITEMSTRUCT& item);
    void paintBar();
    void closeRequest(bool endOfSession, LRESULT& result);
    Control* controlOf(HWND hwnd) const;
    HWND windowOf(const Control& control) const;
    void setText(HWND hwnd, const std::string& text);

    // Counts the modal loops running now: a requested destruction waits until
    // every one of them has returned.
    struct Modal {
        explicit Modal(Win32Front& f) : f(f) { ++f.modalDepth_; }
        ~Modal() { --f.modalDepth_; }
        Win32Front& f;
    };

    HINSTANCE instance_;
    WindowsTimers& timers_;
    SoundOutput& sound_;
    Model* model_ = nullptr;
    HWND owner_ = nullptr;
    HWND bar_ = nullptr;
    HWND tooltip_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HICON trayIcon_ = nullptr;
    HFONT guiFont_ = nullptr;
    HFONT hideFont_ = nullptr;
    HFONT closeFont_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool trayAdded_ = false;
    std::vector<HWND> windows_; // by index in the model's control list
    std::unordered_map<HWND, Control*> controls_;
    std::unordered_map<HWND, bool> hover_;
    int modalDepth_ = 0;
    bool updating_ = false; // the program itself is writing a control
    bool ended_ = false;
};

} // namespace vmkt
