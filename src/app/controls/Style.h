#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPainter;
class QRect;
class QRectF;
class QRegion;
class QSize;

namespace varnholt {

// The panel's system font at a pixel size ("13 pt" of the design is 13 px).
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);
// Grey level g, opaque, as the design names its greys.
QColor grey(qreal level, qreal alpha = 1.0);
// A plain, non-interactive one-line text.
QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color);
// The device pixels per point a painter draws a widget of this size at, when
// a picture made at that scale lands pixel for pixel (no rotation, whole-pixel
// offset and size); 0 otherwise, where a cached picture would blur.
qreal pixelExactScale(const QPainter& painter, const QSize& size);
// The pixels of a rectangle with rounded corners, for windows that must cut
// their corners themselves (no compositor to blend them away). A pixel
// belongs to it when its centre lies inside the rounded outline.
QRegion roundedRegion(const QRect& rect, int radius);
// The keyboard focus ring of the panel's buttons: a thin outline in the
// subtitle blue just inside the given bounds.
void drawFocusRing(QPainter& painter, const QRectF& bounds, qreal radius);

}  // namespace varnholt
