#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QPropertyAnimation>
#include <QSize>

#include <functional>

#include "PanelView.h"

namespace varnholt {

class ActivatingPanel;

// The floating panel as a window on the desktop: where it sits and stays,
// how it shows, hides and closes (beside a tray or without one), and its
// collapse and resize. Its content is the PanelView.
class PanelWindow : public QObject {
    Q_OBJECT
public:
    static constexpr int kCollapseAnimationMs = 180;

    // Null when there is no screen to show the panel on.
    static PanelWindow* create(PanelActions* actions, PanelView::RunningLookup running,
                               PanelView::Probe compositor, QObject* parent);
    ~PanelWindow() override;

    // The last step of building, once the owner listens: the stored form
    // (collapsed or expanded), which ends with a refresh when collapsed.
    void applyStoredForm();

    ActivatingPanel* window() const { return m_window; }
    PanelView* view() const { return m_view; }

    // Brings the content up to date and keeps the minimum size in step.
    void apply(const PanelData& data);

    void toggle();
    void show();
    // ✕ and Escape: hides the panel beside a tray; without one there would
    // be no way back, so it is minimised to the taskbar instead.
    void close();

    // Beside a tray the panel floats as a tool window; without one it is an
    // ordinary window, and its title area offers the tray's commands.
    void setHasTray(bool hasTray);
    bool hasTray() const { return m_hasTray; }
    void setTitleMenuFiller(std::function<void(QMenu*)> fill) { m_fillTitleMenu = std::move(fill); }
    QMenu* titleMenu() const { return m_titleMenu; }

    void togglePanelCollapse();
    // Shows the stored form (collapsed or expanded), animated or at once,
    // then asks for a refresh.
    void applyCollapseState(bool animate);
    int collapsedHeight();
    // The smallest panel that still shows its header and one row whole, in
    // the current form.
    QSize minimumPanelSize();
    int expandedHeight() const { return m_expandedHeight; }
    QPropertyAnimation* collapseAnimation() const { return m_collapseAnimation; }

    // Moves the panel back to the top right of the primary screen when too
    // little of it shows on any screen, and makes it fit the available area
    // of the screen it is on.
    void keepPanelOnScreen();
    // A compositor came or went: the window takes or drops its shadow
    // margin now, shown or not.
    void followCompositor();

signals:
    void refreshRequested();

private:
    PanelWindow(ActivatingPanel* window, PanelView* view, PanelView::Probe compositor,
                QObject* parent);
    void prepareShow();
    void escapePressed();
    void windowDidResize();
    void updateMinimumSize();
    void watchScreens();
    bool showTitleMenu(const QPoint& globalPos);

    QPointer<ActivatingPanel> m_window;
    PanelView* m_view = nullptr;
    PanelView::Probe m_compositor;
    // Until the owner has looked, the panel acts as it does beside a tray.
    bool m_hasTray = true;
    bool m_shownBefore = false;
    std::function<void(QMenu*)> m_fillTitleMenu;
    QPointer<QMenu> m_titleMenu;
    int m_expandedHeight = 560;
    QPointer<QPropertyAnimation> m_collapseAnimation;
};

}  // namespace varnholt
