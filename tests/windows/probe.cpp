// Looks at and talks to the running clock's strip as the system would:
//   vmkt-probe close        posts WM_CLOSE
//   vmkt-probe endsession   sends WM_QUERYENDSESSION and prints "allowed" or
//                           "refused"
//   vmkt-probe texts        prints "ID CLASS TEXT" for every control
//   vmkt-probe taskbar      announces a new notification area, as the shell
//                           does when it starts again
// Exits with 2 when the strip's window is not there.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string utf8(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

BOOL CALLBACK printControl(HWND hwnd, LPARAM) {
    wchar_t cls[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    wchar_t text[512] = L"";
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                        nullptr);
    std::printf("%d %s %s\n", GetDlgCtrlID(hwnd), utf8(cls).c_str(), utf8(text).c_str());
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    HWND bar = FindWindowW(L"VmktBar", nullptr);
    if (!bar) {
        std::fprintf(stderr, "no window of class VmktBar\n");
        return 2;
    }
    const std::wstring command = argc > 1 ? argv[1] : L"close";
    if (command == L"endsession") {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(bar, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 60000, &answer))
            return 3;
        std::printf("%s\n", answer ? "allowed" : "refused");
        return 0;
    }
    if (command == L"taskbar") {
        const UINT created = RegisterWindowMessageW(L"TaskbarCreated");
        return PostMessageW(HWND_BROADCAST, created, 0, 0) ? 0 : 3;
    }
    if (command == L"texts") {
        EnumChildWindows(bar, printControl, 0);
        return 0;
    }
    return PostMessageW(bar, WM_CLOSE, 0, 0) ? 0 : 3;
}
