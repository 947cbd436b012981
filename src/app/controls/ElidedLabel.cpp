#include "ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace varnholt {

ElidedLabel::ElidedLabel(const QString& text, Qt::TextElideMode mode, QWidget* parent)
    : QWidget(parent), m_text(text), m_mode(mode) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void ElidedLabel::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    m_text = text;
    setAccessibleName(text);  // a screen reader reads the whole text
    updateGeometry();
    updateToolTip();
    update();
}

// Whatever the width hides can still be read by hovering.
void ElidedLabel::updateToolTip() {
    setToolTip(shownText() == m_text ? QString() : m_text);
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateToolTip();
}

void ElidedLabel::setColor(const QColor& color) {
    m_color = color;
    update();
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(m_text, m_mode, width());
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(m_text) + 1, metrics.height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QStringLiteral("…")) * 3, metrics.height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_color);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

void ElidedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
        updateToolTip();
    }
    QWidget::changeEvent(event);
}

}  // namespace varnholt
