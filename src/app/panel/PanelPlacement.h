#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Where the panel goes on the screens there are; plain geometry, so the rules
// can be checked without screens to plug in and out.
namespace varnholt::PanelPlacement {

// Keep this far from the top-right corner of a screen's available area.
constexpr int kScreenInset = 24;

// A frame of the given size whose top-right corner sits 24 px left of and 24
// px below the top-right corner of the available area.
QRect topRightOf(const QRect& available, const QSize& size);

// Whether enough of the frame shows on one of the screens to be seen and
// dragged back; a sliver at a screen's edge does not count.
bool reachable(const QRect& frame, const QList<QRect>& screens);

// The frame itself while it is reachable, else the same size back at the top
// right of the primary screen's available area.
QRect keptOnScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primary);

// The frame cut to the available area (less the inset above and below, so a
// panel placed at the top right fits whole) and moved inside it: a screen
// shorter than the panel gets a shorter panel, never one whose lower rows
// hang off its edge.
QRect fittedInto(const QRect& frame, const QRect& available);

}  // namespace varnholt::PanelPlacement
