#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace varnholt {

class ClosureButton;
class ElidedLabel;
class SymbolButton;

// The top of the panel: the title with the collapse and close buttons beside
// it, and under it one of two variants, the one-line summary while collapsed
// or the network line with Copy and Share while expanded. Placed by hand
// (see layout()), since the collapsed height is measured from its positions.
class PanelHeader : public QObject {
    Q_OBJECT
public:
    // The parts become children of contentView, in this order: title,
    // compact header, expanded header, collapse button, close button.
    PanelHeader(QWidget* contentView, bool collapsed);

    QLabel* titleLabel() const { return m_titleLabel; }
    SymbolButton* collapseButton() const { return m_collapseButton; }
    ClosureButton* closeButton() const { return m_closeButton; }
    QWidget* compactView() const { return m_compactView; }
    QWidget* expandedView() const { return m_expandedView; }
    QLabel* subtitle() const { return m_subtitle; }
    ClosureButton* copyButton() const { return m_copyButton; }
    ClosureButton* shareButton() const { return m_shareButton; }

    // Shows the variant of the form and points the chevron the right way.
    void setCollapsed(bool collapsed);
    void setNetwork(const QString& line, const QString& summary);

    // Places every part for a content view this wide; returns where the
    // content under the header starts.
    int layout(int width);
    // The panel's height while collapsed, from the last layout().
    int collapsedHeight() const;
    // The narrowest the title row and the Copy/Share row can be.
    int minimumWidth() const;

signals:
    void collapseClicked();
    void closeClicked();
    void shareClicked();

private:
    void buildTitleRow();
    void buildCompactView();
    void buildExpandedView();

    QLabel* m_titleLabel = nullptr;
    SymbolButton* m_collapseButton = nullptr;
    ClosureButton* m_closeButton = nullptr;
    QWidget* m_compactView = nullptr;
    ElidedLabel* m_summary = nullptr;
    QWidget* m_expandedView = nullptr;
    QLabel* m_subtitle = nullptr;
    ClosureButton* m_copyButton = nullptr;
    ClosureButton* m_shareButton = nullptr;
};

}  // namespace varnholt
