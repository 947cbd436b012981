#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

#include "PanelPlatform.h"

// X11 speaks through xcb on Qt's own connection; elsewhere on Linux (a native
// Wayland session, the offscreen plugin) the compositor does what these
// requests would ask for, or nothing can be asked.

namespace varnholt::PanelPlatform {

namespace {

xcb_connection_t* x11Connection() {
    if (!qGuiApp) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The screen of DISPLAY (":0.1" names screen 1); without one, screen 0, as
// every X client assumes.
int displayScreen() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = colon < 0 ? -1 : display.indexOf('.', colon);
    if (dot < 0) {
        return 0;
    }
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok && screen >= 0 ? screen : 0;
}

xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData()),
        nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

xcb_window_t rootWindow(xcb_connection_t* connection) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = displayScreen(); i > 0 && it.rem > 0; --i) {
        xcb_screen_next(&it);
    }
    return it.rem > 0 ? it.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

bool hasAtom(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
             xcb_atom_t wanted) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 1024),
        nullptr);
    bool found = false;
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < count && !found; ++i) {
            found = atoms[i] == wanted;
        }
    }
    std::free(reply);
    return found;
}

}  // namespace

bool compositorRunning() {
    xcb_connection_t* connection = x11Connection();
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

void showOnAllWorkspaces(QWidget* window) {
    xcb_connection_t* connection = x11Connection();
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
    const xcb_atom_t sticky = atom(connection, "_NET_WM_STATE_STICKY");
    if (desktop == XCB_ATOM_NONE || state == XCB_ATOM_NONE || sticky == XCB_ATOM_NONE) {
        return;
    }
    constexpr uint32_t kAllDesktops = 0xFFFFFFFF;
    // Before the map the window's own properties are the request; Qt merges
    // its states into _NET_WM_STATE rather than replacing it when it maps.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
    if (!hasAtom(connection, id, state, sticky)) {
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1,
                            &sticky);
    }
    // A window already on screen has to ask the window manager instead.
    if (window->isVisible()) {
        const xcb_window_t root = rootWindow(connection);
        if (root != XCB_WINDOW_NONE) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = id;
            event.type = desktop;
            event.data.data32[0] = kAllDesktops;
            event.data.data32[1] = 1;  // from an application
            xcb_send_event(
                connection, 0, root,
                XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                reinterpret_cast<const char*>(&event));
        }
    }
    xcb_flush(connection);
}

}  // namespace varnholt::PanelPlatform
