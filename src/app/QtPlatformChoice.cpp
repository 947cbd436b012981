#include "QtPlatformChoice.h"

#include <QtGlobal>

#include <cstring>

namespace varnholt {

QByteArray preferredQtPlatform(const SessionFacts& facts) {
    if (!facts.qpaPlatform.isEmpty() || facts.platformArgument) {
        return {};
    }
    const bool wayland = facts.sessionType == "wayland" || !facts.waylandDisplay.isEmpty();
    if (wayland && !facts.x11Display.isEmpty()) {
        // A DISPLAY left over with no X server behind it must not stop the
        // app: Qt tries the platforms in order and falls back to Wayland.
        return QByteArrayLiteral("xcb;wayland");
    }
    return {};
}

QString applyPreferredQtPlatform(int argc, char** argv) {
    SessionFacts facts;
    facts.sessionType = qgetenv("XDG_SESSION_TYPE");
    facts.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    facts.x11Display = qgetenv("DISPLAY");
    facts.qpaPlatform = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "-platform") == 0 || std::strcmp(arg, "--platform") == 0 ||
            std::strncmp(arg, "-platform=", 10) == 0 || std::strncmp(arg, "--platform=", 11) == 0) {
            facts.platformArgument = true;
        }
    }
    const QByteArray platform = preferredQtPlatform(facts);
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
        return QStringLiteral("XWayland, chosen for a Wayland session with an X display");
    }
    if (!facts.qpaPlatform.isEmpty() || facts.platformArgument) {
        return QStringLiteral("chosen by the user");
    }
    return QStringLiteral("Qt's own choice");
}

}  // namespace varnholt
