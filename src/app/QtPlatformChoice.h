#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace varnholt {

// What decides the Qt platform plugin: the session's environment and whether
// the user named a platform (QT_QPA_PLATFORM, or -platform on the command
// line).
struct SessionFacts {
    QByteArray sessionType;     // XDG_SESSION_TYPE
    QByteArray waylandDisplay;  // WAYLAND_DISPLAY
    QByteArray x11Display;      // DISPLAY
    QByteArray qpaPlatform;     // QT_QPA_PLATFORM
    bool platformArgument = false;
};

// On Wayland a window can neither choose its place nor stay above others, and
// the panel needs both; XWayland allows them. So a Wayland session with an X
// display at hand runs on "xcb" (then "wayland" should that display not
// answer), unless the user chose a platform. Empty means Qt's own choice
// (native Wayland when there is no X display).
QByteArray preferredQtPlatform(const SessionFacts& facts);

// Reads the facts from the environment and argv and sets QT_QPA_PLATFORM when
// preferredQtPlatform() names one. Call before the application object exists.
// Returns why the platform is what it is, for the log.
QString applyPreferredQtPlatform(int argc, char** argv);

}  // namespace varnholt
