#pragma once

class QWidget;

// What the panel needs from the desktop it runs on; one implementation file
// per platform, so callers never ask which desktop this is.
namespace varnholt::PanelPlatform {

// Whether a compositing manager blends translucent windows right now. Without
// one, transparent pixels show black, so the panel drops its shadow margin
// and cuts its corners with a mask instead.
bool compositorRunning();

// Whether this desktop lets a window choose its own place and stay above
// others. Where it does not (a native Wayland session), the panel is an
// ordinary window that the compositor places.
bool placesWindows();

// Asks for the panel's window states: on every workspace; while it floats
// beside a tray, off the taskbar and the pager; and no shadow drawn by the
// compositor around its transparent margin (the panel paints its own). Must
// run before the window is mapped: window managers read the request when
// they take the window on, and forget it when it is hidden, so it is
// repeated before every show.
void prepareWindow(QWidget* window, bool floating);

}  // namespace varnholt::PanelPlatform
