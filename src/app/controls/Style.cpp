#include "Style.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace varnholt {

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor grey(qreal level, qreal alpha) {
    return QColor::fromRgbF(static_cast<float>(level), static_cast<float>(level),
                            static_cast<float>(level), static_cast<float>(alpha));
}

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

qreal pixelExactScale(const QPainter& painter, const QSize& size) {
    const QTransform device = painter.deviceTransform();
    const qreal scale = device.m11();
    const auto whole = [](qreal value) { return qFuzzyIsNull(value - std::round(value)); };
    const bool exact = device.type() <= QTransform::TxScale && scale > 0 &&
                       qFuzzyCompare(scale, device.m22()) && whole(device.dx()) &&
                       whole(device.dy()) && whole(size.width() * scale) &&
                       whole(size.height() * scale);
    return exact ? scale : 0;
}

QRegion roundedRegion(const QRect& rect, int radius) {
    radius = std::min({radius, rect.width() / 2, rect.height() / 2});
    QRegion region(rect.adjusted(0, radius, 0, -radius));
    for (int row = 0; row < radius; ++row) {
        // Distance of this pixel row's centre from the corner circles' centre line.
        const qreal dy = radius - row - 0.5;
        const int inset =
            static_cast<int>(std::ceil(radius - std::sqrt(radius * radius - dy * dy) - 0.5));
        const int width = rect.width() - 2 * inset;
        region += QRect(rect.x() + inset, rect.y() + row, width, 1);
        region += QRect(rect.x() + inset, rect.bottom() - row, width, 1);
    }
    return region;
}

void drawFocusRing(QPainter& painter, const QRectF& bounds, qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setOpacity(1.0);
    QPen pen(QColor::fromRgbF(0.4f, 0.7f, 1.0f, 1.0f));
    pen.setWidthF(1.5);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.75, 0.75, -0.75, -0.75), radius, radius);
    painter.restore();
}

}  // namespace varnholt
