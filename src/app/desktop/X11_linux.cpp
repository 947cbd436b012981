#include "X11_linux.h"

#include <QGuiApplication>

#include <cstdlib>

namespace varnholt::X11 {

xcb_connection_t* connection() {
    if (!qGuiApp) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

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

}  // namespace varnholt::X11
