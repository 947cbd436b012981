#pragma once

#include <QString>

#include "store/RecentEvent.h"

class QWidget;

namespace varnholt {

class PanelActions;

// A RECENT row: ✕ to forget the event, what happened and how long ago, and
// Restart for a package that was stopped.
QWidget* makeRecentRow(const Store::RecentEvent& event, PanelActions* actions);
// What the row shows, as one comparable text (see hostedRowKey); the time
// is left out, a kept row renews it with updateRecentRowTime().
QString recentRowKey(const Store::RecentEvent& event);
void updateRecentRowTime(QWidget* row);

}  // namespace varnholt
