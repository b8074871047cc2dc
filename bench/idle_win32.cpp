// The least a Windows desktop program can be: one small pop-up window with
// one line of text and a message loop. Under Wine its resident memory and
// its CPU time are what Wine itself costs a program, so the Windows program's
// own share is what it needs beyond this.
//
//   vmkt-bench-idle.exe
#include <windows.h>

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"VmktBenchIdle";
    if (!RegisterClassW(&wc))
        return 1;
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName,
                                  L"vmkt-bench-idle", WS_POPUP | WS_BORDER, 100, 100, 333, 22,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    CreateWindowW(L"STATIC", L"idle", WS_CHILD | WS_VISIBLE, 4, 2, 200, 18, window, nullptr,
                  instance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
