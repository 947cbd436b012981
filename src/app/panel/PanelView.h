#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "PanelData.h"
#include "app/controls/SharePopup.h"
#include "quickhost/QuickHostEntry.h"

class QScrollArea;

namespace varnholt {

class ClosureButton;
class ElidedLabel;
class FlippedStackView;
class PanelActions;
class PanelHeader;
class PanelSection;

// What fills the panel: the header and, in a scroll view under it, the four
// sections CURRENTLY HOSTED, QUICK HOST, RECENT and PAUSED. apply() brings
// every section up to date and keeps the rows whose data did not change.
class PanelView : public QWidget {
    Q_OBJECT
public:
    // The server a package runs on, if any.
    using RunningLookup = std::function<std::optional<QuickHostEntry>(const QString& path)>;
    using Probe = std::function<bool()>;

    // actions receive the rows' button presses; compositor tells whether the
    // Share popup may have soft corners.
    PanelView(PanelActions* actions, RunningLookup running, Probe compositor, bool collapsed,
              QWidget* parent = nullptr);
    ~PanelView() override;

    void apply(const PanelData& data);
    // Places the header and the scroll view for the current size.
    void layoutContent();

    // Shows the one-line summary and no sections while collapsed.
    void setCollapsed(bool collapsed);
    // The panel's height while collapsed.
    int collapsedHeight();
    // The smallest panel that still shows its header and one row whole.
    QSize minimumPanelSize(bool collapsed);
    void updateDefaultFolderLabel();
    // Closes the Share popup; false when none was open.
    bool closeSharePopup();
    // Asked on a right-click in the title area; true when it showed a menu.
    void setTitleMenuHandler(std::function<bool(const QPoint& globalPos)> handler);

    PanelHeader* header() const { return m_header; }
    QScrollArea* scrollView() const { return m_scrollView; }
    FlippedStackView* documentView() const { return m_documentView; }
    PanelSection& hosted() const { return *m_hosted; }
    PanelSection& quick() const { return *m_quick; }
    PanelSection& recent() const { return *m_recent; }
    PanelSection& paused() const { return *m_paused; }
    ElidedLabel* defaultFolderLabel() const { return m_defaultFolderLabel; }
    ClosureButton* openButton() const { return m_openButton; }
    ClosureButton* changeButton() const { return m_changeButton; }
    SharePopup* sharePopup() const { return m_sharePopup; }

signals:
    void openClicked();
    void changeFolderClicked();
    void collapseClicked();
    void closeClicked();
    // A section was folded or unfolded (and its state stored).
    void refreshRequested();

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildScrollView(bool collapsed);
    void buildSections();
    QWidget* buildFolderRow();
    void showSharePopup();
    QWidget* applyHosted(const PanelData& data);
    QWidget* applyQuick(const PanelData& data);
    QWidget* applyRecent(const PanelData& data);
    QWidget* applyPaused(const PanelData& data);

    PanelActions* m_actions;
    RunningLookup m_running;
    Probe m_compositor;
    std::function<bool(const QPoint&)> m_titleMenu;

    PanelHeader* m_header = nullptr;
    QScrollArea* m_scrollView = nullptr;
    FlippedStackView* m_documentView = nullptr;
    std::unique_ptr<PanelSection> m_hosted;
    std::unique_ptr<PanelSection> m_quick;
    std::unique_ptr<PanelSection> m_recent;
    std::unique_ptr<PanelSection> m_paused;
    ElidedLabel* m_defaultFolderLabel = nullptr;
    ClosureButton* m_openButton = nullptr;
    ClosureButton* m_changeButton = nullptr;
    QPointer<SharePopup> m_sharePopup;
    // The scroll view's two layouts: down to the panel's bottom edge, or
    // zero high while the panel is collapsed.
    bool m_scrollViewZeroHeight = false;
    // The smallest a server row can be; measured once, fonts do not change.
    QSize m_rowMinimum;
};

}  // namespace varnholt
