// Sends the clock's strip a close request, as the system would:
//   vmkt-send-close close        posts WM_CLOSE
//   vmkt-send-close endsession   sends WM_QUERYENDSESSION and prints the answer
// Exits with 2 when the strip's window is not there.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    HWND bar = FindWindowW(L"VmktBar", nullptr);
    if (!bar) {
        std::fprintf(stderr, "no window of class VmktBar\n");
        return 2;
    }
    if (argc > 1 && std::wcscmp(argv[1], L"endsession") == 0) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(bar, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 60000, &answer))
            return 3;
        std::printf("%s\n", answer ? "allowed" : "refused");
        return 0;
    }
    return PostMessageW(bar, WM_CLOSE, 0, 0) ? 0 : 3;
}
