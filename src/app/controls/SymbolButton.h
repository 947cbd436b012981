#pragma once

#include <QAbstractButton>
#include <QColor>

namespace varnholt {

// A borderless button showing one drawn symbol in a tint colour: the panel's
// collapse button and the section headers' disclosure chevrons.
class SymbolButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString symbol READ symbol WRITE setSymbol)
public:
    SymbolButton(const QString& symbol, const QColor& tint, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    QColor tint() const { return m_tint; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_symbol;
    QColor m_tint;
};

}  // namespace varnholt
