#include "ui/qt/x11_state.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vmkt {

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t a = reply->atom;
    std::free(reply);
    return a;
}

} // namespace

void keepOutOfTaskbar(QWidget* window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* c = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t wanted[] = {atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 atom(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE)
        return;

    // Keep what is there (Qt's own "above"), add only what is missing.
    std::vector<xcb_atom_t> present;
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64), nullptr)) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int n = xcb_get_property_value_length(reply) / static_cast<int>(sizeof(xcb_atom_t));
        present.assign(atoms, atoms + n);
        std::free(reply);
    }
    std::vector<xcb_atom_t> add;
    for (xcb_atom_t a : wanted)
        if (a != XCB_ATOM_NONE && std::find(present.begin(), present.end(), a) == present.end())
            add.push_back(a);
    if (add.empty())
        return;
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(add.size()), add.data());
    xcb_flush(c);
}

} // namespace vmkt
