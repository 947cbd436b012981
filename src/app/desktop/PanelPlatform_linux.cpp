#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

#include "PanelPlatform.h"
#include "X11_linux.h"

// X11 speaks through xcb on Qt's own connection; elsewhere on Linux (a native
// Wayland session, the offscreen plugin) the compositor does what these
// requests would ask for, or nothing can be asked.

namespace varnholt::PanelPlatform {

namespace {

using namespace X11;

void askForAllDesktops(xcb_connection_t* connection, xcb_window_t id, xcb_atom_t desktop) {
    const xcb_window_t root = rootWindow(connection);
    if (root == XCB_WINDOW_NONE) {
        return;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = desktop;
    event.data.data32[0] = 0xFFFFFFFF;
    event.data.data32[1] = 1;  // from an application
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

}  // namespace

bool compositorRunning() {
    xcb_connection_t* connection = X11::connection();
    if (!connection) {
        return true;  // Wayland always composites; offscreen paints into images
    }
    const xcb_atom_t selection =
        atom(connection, "_NET_WM_CM_S" + QByteArray::number(displayScreen()));
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

bool placesWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void prepareWindow(QWidget* window, bool floating) {
    xcb_connection_t* connection = X11::connection();
    if (!connection || !window || !window->isWindow()) {
        return;
    }
    if (!window->windowHandle()) {
        window->winId();  // makes the QWindow
    }
    // Ask the QWindow: after a change of window flags the widget may still
    // name the native window that was destroyed, while the QWindow makes the
    // new one that is about to be mapped.
    QWindow* handle = window->windowHandle();
    if (!handle) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(handle->winId());
    const xcb_atom_t desktop = atom(connection, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    if (desktop == XCB_ATOM_NONE || state == XCB_ATOM_NONE) {
        return;
    }
    constexpr uint32_t kAllDesktops = 0xFFFFFFFF;
    // Before the map the window's own properties are the request; Qt merges
    // its states into _NET_WM_STATE rather than replacing it when it maps.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
    QByteArrayList states{"_NET_WM_STATE_STICKY"};
    if (floating) {
        // A tool window alone does not keep every taskbar (tint2) away.
        states << "_NET_WM_STATE_SKIP_TASKBAR"
               << "_NET_WM_STATE_SKIP_PAGER";
    }
    for (const QByteArray& name : states) {
        const xcb_atom_t wanted = atom(connection, name);
        if (wanted != XCB_ATOM_NONE && !hasAtom(connection, id, state, wanted)) {
            xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1,
                                &wanted);
        }
    }
    // picom (and compton before it) draws no shadow for a window that says 0
    // here; others draw none around a translucent window anyway.
    const xcb_atom_t shadow = atom(connection, "_COMPTON_SHADOW");
    if (shadow != XCB_ATOM_NONE) {
        constexpr uint32_t kNoShadow = 0;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, shadow, XCB_ATOM_CARDINAL, 32, 1,
                            &kNoShadow);
    }
    // A window already on screen has to ask the window manager instead.
    if (window->isVisible()) {
        askForAllDesktops(connection, id, desktop);
    }
    xcb_flush(connection);
}

}  // namespace varnholt::PanelPlatform
