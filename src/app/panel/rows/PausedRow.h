#pragma once

#include <QString>

#include "quickhost/QuickHostPackage.h"

class QWidget;

namespace varnholt {

class PanelActions;

// A PAUSED row: the package's name in grey, Start and Remove (to the trash).
QWidget* makePausedRow(const QuickHostPackage& package, PanelActions* actions);
// What the row shows, as one comparable text (see hostedRowKey).
QString pausedRowKey(const QuickHostPackage& package);

}  // namespace varnholt
