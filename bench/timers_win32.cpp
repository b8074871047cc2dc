// The Windows program's window timers on their own: the countdown's 1 s
// timer, the ring monitor's 1 s timer and the 250 ms flash timer armed
// together on one window, as while an alarm rings, and every tick's instant
// from the performance counter.
//
//   vmkt-bench-timers-win.exe [SECONDS [each]]     (default 60; "each" lists every tick's error)
#include "ui/win32/timers_win32.h"

#include "bench/tick_stats.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::int64_t counterNs() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart / frequency * 1000000000 + c.QuadPart % frequency * 1000000000 / frequency;
}

std::vector<vmkt::bench::ArmedTimer> armed = vmkt::bench::ringingTimers();
vmkt::WindowsTimers timers;

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) {
        const std::int64_t now = counterNs();
        if (const auto id = timers.onTimer(wp))
            vmkt::bench::recordTick(armed, *id, now);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const bool each = argc > 2 && std::string(argv[2]) == "each";
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: vmkt-bench-timers-win [SECONDS [each]]\n");
        return 2;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VmktBenchTimers";
    if (!RegisterClassW(&wc))
        return 1;
    HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    if (!window)
        return 1;
    timers.setWindow(window);
    for (vmkt::bench::ArmedTimer& a : armed) {
        a.startNs = counterNs();
        timers.setPeriod(a.id, a.periodMs);
    }
    const std::int64_t endNs = counterNs() + (seconds * 1000LL + 500) * 1000000;
    MSG msg;
    while (counterNs() < endNs && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    timers.stopAll();

    char title[96];
    std::snprintf(title, sizeof title,
                  "Windows timers (WindowsTimers, SetTimer re-armed per tick), %d s", seconds);
    vmkt::bench::printTimerReport(title, armed, each);
    return 0;
}
