#include "SymbolButton.h"

#include <QKeyEvent>
#include <QPainter>

#include "app/controls/FocusOrder.h"
#include "app/controls/Style.h"
#include "app/controls/Symbols.h"

namespace varnholt {

namespace {
constexpr qreal kSymbolSize = 11;
}

SymbolButton::SymbolButton(const QString& symbol, const QColor& tint, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_tint(tint) {
    // The owner names what the button does ("Collapse panel"); the symbol's
    // own name would mean nothing read aloud.
    setFocusPolicy(Qt::TabFocus);
}

void SymbolButton::setSymbol(const QString& symbol) {
    if (symbol == m_symbol) {
        return;
    }
    m_symbol = symbol;
    update();
}

void SymbolButton::keyPressEvent(QKeyEvent* event) {
    if (!clickOnEnter(this, event)) {
        QAbstractButton::keyPressEvent(event);
    }
}

QSize SymbolButton::sizeHint() const {
    return {20, 20};
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor color = m_tint;
    if (isDown()) {
        color.setAlphaF(color.alphaF() * 0.6);
    }
    drawSymbol(painter, QRectF(rect()), m_symbol, color, kSymbolSize, true);
    if (hasFocus()) {
        drawFocusRing(painter, QRectF(rect()), 5);
    }
}

}  // namespace varnholt
