// The Windows program: the platform services, the clock's program and the
// Win32 front end, then the event loop until the window has been destroyed.
#include "actions/sound_waveout.h"
#include "app/program.h"
#include "app/system_windows.h"
#include "settings/registry_windows.h"
#include "ui/win32/front_win32.h"
#include "ui/win32/timers_win32.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace vmkt;
    WindowsTimers timers;
    WaveOutSoundOutput sound;
    WindowsRegistry registry;
    WindowsSystem system;
    Win32Front front(instance, timers, sound);
    Platform platform{front, timers, front, sound, registry, system};
    Program program(platform);
    if (!front.create(program)) {
        MessageBoxW(nullptr, L"无法创建窗口，Vemko闹钟不能启动。", L"Vemko闹钟",
                    MB_OK | MB_ICONERROR | MB_TASKMODAL);
        return 1;
    }
    system.setWindow(front.barWindow());
    program.start();
    return front.run();
}
