#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

namespace varnholt {

// The few glyphs the panel needs ("chevron.up", "chevron.down",
// "chevron.right", "xmark"), drawn as strokes so they stay crisp at any device
// pixel ratio and never depend on an icon theme. pointSize is the glyph's
// nominal size in pixels; bold thickens the stroke.
void drawSymbol(QPainter& painter, const QRectF& box, const QString& name, const QColor& color,
                qreal pointSize, bool bold);

}  // namespace varnholt
