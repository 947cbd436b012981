#pragma once

#include <QIcon>

namespace varnholt {

// The app's icon with a small orange count in its lower right corner, or the
// plain icon for a count of 0. Counts past 9 show as "9+" to stay legible at
// tray size.
QIcon badgedIcon(int count);
QString badgeText(int count);

}  // namespace varnholt
