#pragma once

#include <QIcon>

class QPainter;
class QRectF;

namespace varnholt {

// The app's globe, drawn here at every size the tray and the desktop ask for,
// so it never depends on an icon theme.
QIcon makeAppIcon();
void paintGlobe(QPainter& painter, const QRectF& box);

}  // namespace varnholt
