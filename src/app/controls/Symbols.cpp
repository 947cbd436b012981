#include "Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace varnholt {

void drawSymbol(QPainter& painter, const QRectF& box, const QString& name, const QColor& color,
                qreal pointSize, bool bold) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(color);
    pen.setWidthF(bold ? pointSize * 0.17 : pointSize * 0.11);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);

    const QPointF c = box.center();
    QPainterPath path;
    if (name.startsWith(QLatin1String("chevron."))) {
        // A chevron about as wide as the nominal size and half as tall.
        const qreal w = pointSize * 0.78;
        const qreal h = pointSize * 0.40;
        if (name == QLatin1String("chevron.down")) {
            path.moveTo(c.x() - w / 2, c.y() - h / 2);
            path.lineTo(c.x(), c.y() + h / 2);
            path.lineTo(c.x() + w / 2, c.y() - h / 2);
        } else if (name == QLatin1String("chevron.up")) {
            path.moveTo(c.x() - w / 2, c.y() + h / 2);
            path.lineTo(c.x(), c.y() - h / 2);
            path.lineTo(c.x() + w / 2, c.y() + h / 2);
        } else if (name == QLatin1String("chevron.right")) {
            path.moveTo(c.x() - h / 2, c.y() - w / 2);
            path.lineTo(c.x() + h / 2, c.y());
            path.lineTo(c.x() - h / 2, c.y() + w / 2);
        }
    } else if (name == QLatin1String("xmark")) {
        const qreal s = pointSize * 0.30;
        path.moveTo(c.x() - s, c.y() - s);
        path.lineTo(c.x() + s, c.y() + s);
        path.moveTo(c.x() + s, c.y() - s);
        path.lineTo(c.x() - s, c.y() + s);
    }
    painter.drawPath(path);
    painter.restore();
}

}  // namespace varnholt
