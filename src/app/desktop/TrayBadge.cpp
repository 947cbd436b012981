#include "TrayBadge.h"

#include <QPainter>

#include <QPixmap>
#include <algorithm>

#include "app/controls/AppIcon.h"
#include "app/controls/Style.h"

namespace varnholt {

QString badgeText(int count) {
    if (count <= 0) {
        return {};
    }
    return count > 9 ? QStringLiteral("9+") : QString::number(count);
}

QIcon badgedIcon(int count) {
    const QString text = badgeText(count);
    if (text.isEmpty()) {
        return makeAppIcon();
    }
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintGlobe(painter, QRectF(0, 0, size, size));
        // The NET badge's orange, so the count reads as "open to the network".
        const qreal side = size * (text.size() > 1 ? 0.62 : 0.5);
        const QRectF badge(size - side, size - size * 0.5, side, size * 0.5);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(1.0f, 0.55f, 0.2f, 1.0f));
        painter.drawRoundedRect(badge, badge.height() / 2, badge.height() / 2);
        painter.setFont(systemFont(std::max(6, static_cast<int>(size * 0.4)), QFont::Bold));
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, text);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace varnholt
