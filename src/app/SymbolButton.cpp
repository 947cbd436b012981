#include "SymbolButton.h"

#include <QPainter>

#include "Symbols.h"

namespace varnholt {

namespace {
constexpr qreal kSymbolSize = 11;
}

SymbolButton::SymbolButton(const QString& symbol, const QColor& tint, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_tint(tint) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(symbol);
}

void SymbolButton::setSymbol(const QString& symbol) {
    if (symbol == m_symbol) {
        return;
    }
    m_symbol = symbol;
    setAccessibleName(symbol);
    update();
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
}

}  // namespace varnholt
