#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

// The few X11 questions the desktop code asks, over Qt's own xcb connection.
namespace varnholt::X11 {

// Qt's connection, or none when the app does not run on X11 (Wayland,
// offscreen).
xcb_connection_t* connection();
// The screen of DISPLAY (":0.1" names screen 1); without one, screen 0, as
// every X client assumes.
int displayScreen();
xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name);
xcb_window_t rootWindow(xcb_connection_t* connection);
// Whether the window's atom-list property holds wanted.
bool hasAtom(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
             xcb_atom_t wanted);

}  // namespace varnholt::X11
