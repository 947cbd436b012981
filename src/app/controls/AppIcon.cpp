#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace varnholt {

void paintGlobe(QPainter& painter, const QRectF& box) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const qreal side = std::min(box.width(), box.height());
    const qreal stroke = std::max(1.0, side / 16.0);
    const QRectF disc = QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side)
                            .adjusted(stroke / 2 + side * 0.03, stroke / 2 + side * 0.03,
                                      -stroke / 2 - side * 0.03, -stroke / 2 - side * 0.03);

    QRadialGradient fill(disc.center() - QPointF(disc.width() * 0.2, disc.height() * 0.25),
                         disc.width() * 0.8);
    fill.setColorAt(0, QColor(0x5a, 0xb8, 0xff));
    fill.setColorAt(1, QColor(0x1f, 0x6f, 0xd6));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(disc);

    QPen pen(QColor(255, 255, 255, 235));
    pen.setWidthF(stroke);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setClipRegion(
        QRegion(disc.adjusted(-stroke, -stroke, stroke, stroke).toRect(), QRegion::Ellipse));
    const QPointF c = disc.center();
    const qreal r = disc.width() / 2;
    // Meridians.
    painter.drawEllipse(QRectF(c.x() - r * 0.45, disc.top(), r * 0.9, disc.height()));
    painter.drawLine(QPointF(c.x(), disc.top()), QPointF(c.x(), disc.bottom()));
    // Equator and two parallels.
    painter.drawLine(QPointF(disc.left(), c.y()), QPointF(disc.right(), c.y()));
    if (side >= 20) {
        const qreal dy = r * 0.5;
        const qreal half = std::sqrt(r * r - dy * dy);
        painter.drawLine(QPointF(c.x() - half, c.y() - dy), QPointF(c.x() + half, c.y() - dy));
        painter.drawLine(QPointF(c.x() - half, c.y() + dy), QPointF(c.x() + half, c.y() + dy));
    }
    painter.setClipping(false);
    painter.drawEllipse(disc);
    painter.restore();
}

QIcon makeAppIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintGlobe(painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace varnholt
