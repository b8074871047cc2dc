#include "app/system_windows.h"

#include "app/utf16_windows.h"

#include <powrprof.h>

#include <vector>

namespace vmkt {

namespace {

// Enables the shutdown privilege in the process token. False when the token
// cannot be opened or the privilege is not held.
bool enableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges{};
    bool ok = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    if (ok) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        SetLastError(ERROR_SUCCESS);
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        ok = GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return ok;
}

} // namespace

std::string WindowsSystem::programPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return toUtf8(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string WindowsSystem::autostartEntryFor(const std::string& path) {
    if (path.find(' ') == std::string::npos)
        return path;
    return '"' + path + '"';
}

std::string WindowsSystem::autostartEntry() {
    return autostartEntryFor(programPath());
}

void WindowsSystem::powerOff() {
    if (enableShutdownPrivilege())
        ExitWindowsEx(EWX_POWEROFF | EWX_FORCE, 0);
}

void WindowsSystem::suspend() {
    if (enableShutdownPrivilege())
        SetSuspendState(FALSE, TRUE, FALSE);
}

// The command goes to our own window's default procedure, which hands it to
// the system. A broadcast would wait for every top-level window and hang the
// clock whenever another program hangs.
void WindowsSystem::displayOff() {
    if (window_)
        DefWindowProcW(window_, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    else
        SendMessageTimeoutW(HWND_BROADCAST, WM_SYSCOMMAND, SC_MONITORPOWER, 2,
                            SMTO_ABORTIFHUNG | SMTO_NORMAL, 100, nullptr);
}

} // namespace vmkt
