#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPainter;
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

}  // namespace varnholt
