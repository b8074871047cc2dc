// X11 window state that Qt's window flags do not give.
#pragma once

class QWidget;

namespace vmkt {

// Adds _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER to the
// window's _NET_WM_STATE before it is mapped, so that neither the taskbar nor
// the pager lists it. Does nothing on other window systems.
void keepOutOfTaskbar(QWidget* window);

} // namespace vmkt
