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

struct Armed {
    vmkt::TimerId id;
    const char* name;
    int periodMs;
    std::int64_t startNs = 0;
    std::vector<std::int64_t> ticks;
};

Armed armed[] = {
    {vmkt::TimerId::倒计, "倒计 (countdown)", 1000, 0, {}},
    {vmkt::TimerId::监视变量, "监视变量 (ring monitor)", 1000, 0, {}},
    {vmkt::TimerId::闪烁, "闪烁 (flash)", 250, 0, {}},
};
vmkt::WindowsTimers timers;

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) {
        const std::int64_t now = counterNs();
        if (const auto id = timers.onTimer(wp))
            for (Armed& a : armed)
                if (a.id == *id)
                    a.ticks.push_back(now);
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
    for (Armed& a : armed) {
        a.startNs = counterNs();
        timers.setPeriod(a.id, a.periodMs);
    }
    const std::int64_t endNs = counterNs() + (seconds * 1000LL + 500) * 1000000;
    MSG msg;
    while (counterNs() < endNs && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    timers.stopAll();

    std::printf("Windows timers (WindowsTimers, SetTimer re-armed per tick), %d s\n\n", seconds);
    vmkt::bench::printTickHeader();
    for (const Armed& a : armed)
        vmkt::bench::printTickRow(a.name, a.periodMs,
                                  vmkt::bench::tickFigures(a.startNs, a.periodMs, a.ticks));
    if (each) {
        std::printf("\nEvery tick's error in ms:\n");
        for (const Armed& a : armed)
            vmkt::bench::printEachTick(a.name, a.startNs, a.periodMs, a.ticks);
    }
    return 0;
}
