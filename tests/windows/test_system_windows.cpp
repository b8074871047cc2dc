// The Windows system services: the program's path, and the display-off
// command, which must never wait for another program's window.
#include "app/system_windows.h"
#include "app/utf16_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

namespace vmkt {
namespace {

TEST(WindowsSystem, ProgramPathIsTheModuleFileName) {
    wchar_t module[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    ASSERT_GT(n, 0u);
    WindowsSystem system;
    EXPECT_EQ(system.programPath(), toUtf8(std::wstring_view(module, n)));
    EXPECT_NE(system.programPath().find("vmkt_windows_tests.exe"), std::string::npos);
}

TEST(WindowsSystem, AutostartEntryQuotesOnlyPathsWithSpaces) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Program Files\\Vemko\\vmkt.exe", "\"C:\\Program Files\\Vemko\\vmkt.exe\""},
        {"C:\\Vemko 闹钟\\vmkt.exe", "\"C:\\Vemko 闹钟\\vmkt.exe\""},
        {"C:\\Vemko闹钟\\vmkt.exe", "C:\\Vemko闹钟\\vmkt.exe"},
        {"D:\\a\\b.exe", "D:\\a\\b.exe"},
    };
    for (const auto& [path, entry] : cases)
        EXPECT_EQ(WindowsSystem::autostartEntryFor(path), entry) << path;
}

LRESULT CALLBACK plainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Another top-level window whose thread stops handling messages: a broadcast
// sent to every top-level window would wait for it.
TEST(WindowsDisplay, DisplayOffDoesNotWaitForAHungWindow) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = plainProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"VmktTestHung";
    RegisterClassW(&cls);
    HWND own = CreateWindowExW(0, L"VmktTestHung", L"own", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               cls.hInstance, nullptr);
    if (!own)
        GTEST_SKIP() << "no display: windows cannot be created";

    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> woke{false};
    std::thread hung([&] {
        HWND other = CreateWindowExW(0, L"VmktTestHung", L"hung", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                     nullptr, nullptr, cls.hInstance, nullptr);
        SetEvent(created);
        // Hung: no message is handled until the test lets go.
        WaitForSingleObject(release, 10000);
        woke = true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        DestroyWindow(other);
    });
    WaitForSingleObject(created, INFINITE);

    WindowsSystem system;
    system.setWindow(own);
    system.displayOff();
    // Had the command waited for the hung window, it would have returned only
    // once that window's thread woke up and handled it.
    EXPECT_FALSE(woke.load());

    SetEvent(release);
    hung.join();
    DestroyWindow(own);
    CloseHandle(created);
    CloseHandle(release);
}

} // namespace
} // namespace vmkt
