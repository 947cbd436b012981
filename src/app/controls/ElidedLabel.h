#pragma once

#include <QColor>
#include <QWidget>

namespace varnholt {

// A one-line label that shortens its text with "…" when it is given less room
// than the text needs (titles truncate at the tail, paths in the middle).
class ElidedLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    ElidedLabel(const QString& text, Qt::TextElideMode mode, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    Qt::TextElideMode elideMode() const { return m_mode; }
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    // What is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();

    QString m_text;
    Qt::TextElideMode m_mode;
    QColor m_color = Qt::white;
};

}  // namespace varnholt
