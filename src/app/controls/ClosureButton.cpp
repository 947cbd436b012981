#include "ClosureButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmapCache>

#include <algorithm>
#include <cmath>

#include "app/controls/FocusOrder.h"
#include "app/controls/Style.h"
#include "app/controls/Symbols.h"

namespace varnholt {

ClosureButton::ClosureButton(const QString& title, bool small, std::optional<qreal> fixedWidth,
                             Handler handler, QWidget* parent)
    : QAbstractButton(parent),
      m_handler(std::move(handler)),
      m_isSmall(small),
      m_fixedWidth(fixedWidth),
      m_titleFont(standardFont(small)) {
    setText(title);
    // Tab reaches every button; a click does not move the focus, so the
    // ring shows only for those who steer with the keyboard.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (m_fixedWidth) {
        setFixedWidth(sizeHint().width());
    }
    setAttribute(Qt::WA_Hover, false);
    connect(this, &QAbstractButton::clicked, this, &ClosureButton::fire);
}

QFont ClosureButton::standardFont(bool small) {
    QFont font = QApplication::font();
    font.setPixelSize(small ? 11 : 13);
    font.setWeight(QFont::Medium);
    return font;
}

QSize ClosureButton::sizeHint() const {
    const int height = m_isSmall ? 20 : 26;
    const int titleWidth = static_cast<int>(
        std::ceil(QFontMetricsF(standardFont(m_isSmall)).horizontalAdvance(text())));
    if (m_fixedWidth) {
        // The given width where the title fits it with room on both sides;
        // wider where the platform's font runs wider than the one it was
        // chosen for, so a title never touches its border.
        return {std::max(static_cast<int>(std::lround(*m_fixedWidth)),
                         titleWidth + (m_isSmall ? 12 : 16)),
                height};
    }
    return {titleWidth + (m_isSmall ? 20 : 28), height};
}

QColor ClosureButton::backgroundColor() const {
    return m_hovered ? QColor::fromRgbF(1, 1, 1, 0.2f) : QColor(Qt::transparent);
}

void ClosureButton::setBorderWidth(qreal width) {
    m_borderWidth = width;
    update();
}

void ClosureButton::setTitleStyle(const QColor& color, const QFont& font) {
    m_titleColor = color;
    m_titleFont = font;
    update();
}

void ClosureButton::setGlyph(const QString& symbol) {
    m_glyph = symbol;
    update();
}

void ClosureButton::fire() {
    if (!m_handler) {
        return;
    }
    // The handler may replace the row this button sits in (rows go with
    // deleteLater, so the button outlives the call) or this very handler; run
    // a copy so the closure's captures stay valid until it returns.
    const Handler handler = m_handler;
    handler();
}

void ClosureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal opacity = isEnabled() ? 1.0 : 0.35;
    const QRectF bounds(rect());
    QColor fill = backgroundColor();
    if (isDown() && isEnabled()) {
        fill = QColor::fromRgbF(1, 1, 1, 0.32f);
    }
    // The rounded frame is the costly part and looks the same on every button
    // of a size and state, so it is drawn once into a shared pixmap; the title
    // is still drawn in place, so text keeps the screen's own antialiasing.
    const qreal scale = pixelExactScale(painter, size());
    if (fill.alpha() == 0 && m_borderWidth <= 0) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setOpacity(opacity);
    } else if (scale == 0) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setOpacity(opacity);
        paintFrame(painter, bounds, fill);
    } else {
        const QString key = QStringLiteral("varnholt.button:%1x%2@%3:%4:%5:%6:%7")
                                .arg(width())
                                .arg(height())
                                .arg(scale)
                                .arg(fill.rgba(), 0, 16)
                                .arg(m_borderWidth)
                                .arg(m_isSmall)
                                .arg(opacity);
        QPixmap frame;
        if (!QPixmapCache::find(key, &frame)) {
            frame = QPixmap(
                QSize(int(std::lround(width() * scale)), int(std::lround(height() * scale))));
            frame.setDevicePixelRatio(scale);
            frame.fill(Qt::transparent);
            QPainter cache(&frame);
            cache.setRenderHint(QPainter::Antialiasing, true);
            cache.setOpacity(opacity);
            paintFrame(cache, bounds, fill);
            cache.end();
            QPixmapCache::insert(key, frame);
        }
        painter.drawPixmap(QPointF(0, 0), frame);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setOpacity(opacity);
    }
    if (hasFocus()) {
        drawFocusRing(painter, bounds, m_isSmall ? 5 : 6);
    }
    if (!m_glyph.isEmpty()) {
        drawSymbol(painter, bounds, m_glyph, m_titleColor, m_titleFont.pixelSize(),
                   m_titleFont.weight() >= QFont::DemiBold);
        return;
    }
    painter.setPen(m_titleColor);
    painter.setFont(m_titleFont);
    painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, text());
}

void ClosureButton::paintFrame(QPainter& painter, const QRectF& bounds, const QColor& fill) const {
    const qreal radius = m_isSmall ? 5 : 6;
    if (fill.alpha() > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(bounds, radius, radius);
    }
    if (m_borderWidth > 0) {
        QPen pen(Qt::white);
        pen.setWidthF(m_borderWidth);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const qreal inset = m_borderWidth / 2;
        painter.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), radius - inset,
                                radius - inset);
    }
}

void ClosureButton::keyPressEvent(QKeyEvent* event) {
    if (!clickOnEnter(this, event)) {
        QAbstractButton::keyPressEvent(event);
    }
}

void ClosureButton::enterEvent(QEnterEvent*) {
    if (!isEnabled()) {
        return;
    }
    m_hovered = true;
    setCursor(Qt::PointingHandCursor);
    update();
}

void ClosureButton::leaveEvent(QEvent*) {
    m_hovered = false;
    setCursor(Qt::ArrowCursor);
    update();
}

void ClosureButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_hovered = false;
        setCursor(Qt::ArrowCursor);
    }
    QAbstractButton::changeEvent(event);
}

}  // namespace varnholt
