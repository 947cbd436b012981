#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>

#include <functional>
#include <optional>

class QPainter;

namespace varnholt {

// A flat outlined button that runs a stored handler and lights up under the
// pointer. Rows are rebuilt while their buttons' handlers run, so owners must
// remove such buttons with deleteLater(), never delete them inside a handler.
class ClosureButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(bool hovered READ isHovered)
public:
    using Handler = std::function<void()>;

    ClosureButton(const QString& title, bool small, std::optional<qreal> fixedWidth,
                  Handler handler, QWidget* parent = nullptr);

    const Handler& handler() const { return m_handler; }
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    bool isSmall() const { return m_isSmall; }
    std::optional<qreal> fixedWidth() const { return m_fixedWidth; }

    // The natural size: the fixed width, or the title's width rounded up plus
    // the padding; 20 high when small, 26 otherwise.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    bool isHovered() const { return m_hovered; }
    QColor backgroundColor() const;
    qreal borderWidth() const { return m_borderWidth; }
    void setBorderWidth(qreal width);
    QColor titleColor() const { return m_titleColor; }
    QFont titleFont() const { return m_titleFont; }
    // Replaces how the title is drawn; the natural size still follows the
    // plain title in the standard font.
    void setTitleStyle(const QColor& color, const QFont& font);
    // Draws a symbol (see drawSymbol) in the title style instead of the text.
    void setGlyph(const QString& symbol);
    QString glyph() const { return m_glyph; }

    static QFont standardFont(bool small);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fire();
    void paintFrame(QPainter& painter, const QRectF& bounds, const QColor& fill) const;

    Handler m_handler;
    bool m_isSmall;
    std::optional<qreal> m_fixedWidth;
    bool m_hovered = false;
    qreal m_borderWidth = 1;
    QColor m_titleColor = Qt::white;
    QFont m_titleFont;
    QString m_glyph;
};

}  // namespace varnholt
