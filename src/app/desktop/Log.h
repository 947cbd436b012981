#pragma once

#include <QLoggingCategory>

namespace varnholt {

// How the app fits the desktop: tray, notifications, start at login.
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)

}  // namespace varnholt
