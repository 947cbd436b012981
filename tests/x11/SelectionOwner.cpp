// Holds an X selection for a while, the way a compositor (_NET_WM_CM_S0) or a
// system tray (_NET_SYSTEM_TRAY_S0) announces itself, so the app can be shown
// one without running the real thing.
//   selection-owner SELECTION SECONDS
#include <xcb/xcb.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SELECTION SECONDS\n", argv[0]);
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, 0, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, 0, 0, nullptr);
    xcb_intern_atom_reply_t* selection = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(argv[1])), argv[1]),
        nullptr);
    if (!selection) {
        return 1;
    }
    xcb_set_selection_owner(connection, window, selection->atom, XCB_CURRENT_TIME);
    std::free(selection);
    xcb_flush(connection);
    ::sleep(static_cast<unsigned>(std::atoi(argv[2])));
    xcb_disconnect(connection);
    return 0;
}
