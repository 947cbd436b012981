#include "Style.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>

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

}  // namespace varnholt
