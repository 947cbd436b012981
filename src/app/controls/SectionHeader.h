#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QWidget;

namespace varnholt {

class SymbolButton;

// The collapsible header of a panel section: a chevron and the green title
// with an optional count suffix. Not a view itself; it owns row(), which the
// panel places into its layout.
class SectionHeader : public QObject {
    Q_OBJECT
public:
    SectionHeader(const QString& text, bool expanded, QObject* parent = nullptr);
    ~SectionHeader() override;

    QWidget* row() const { return m_row; }
    bool expanded() const { return m_expanded; }
    // Called after every toggle with the new expanded state.
    std::function<void(bool)> onToggle;

    // The base text alone for an empty suffix, else base text, blank, suffix.
    void setSuffix(const QString& suffix);
    QString text() const;
    SymbolButton* toggleButton() const { return m_toggleBtn; }

    static QColor green();

    void fire();

private:
    QPointer<QWidget> m_row;
    SymbolButton* m_toggleBtn = nullptr;
    QLabel* m_label = nullptr;
    QString m_baseText;
    bool m_expanded;
};

}  // namespace varnholt
