#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include <QMenu>
#include <QPropertyAnimation>

#include "ActivatingPanel.h"
#include "ItemChooser.h"
#include "PanelData.h"
#include "SharePopup.h"

class QLabel;

class QScrollArea;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace varnholt {

class ClosureButton;
class ElidedLabel;
class ExposureMonitor;
class FlippedStackView;
class QuickHostRegistry;
class SectionHeader;
class SingleInstance;
class SymbolButton;

// Owns the tray item, the panel with all its views, and the refresh timer.
// Every operation runs on the main thread.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Shows the one alert the user can ever see; tests replace it.
    using AlertHook = std::function<void(const QString& message, const QString& informative)>;
    // Where a refresh gets its data; gather() unless a test says otherwise.
    using DataSource = std::function<PanelData()>;
    // Asks the desktop a yes-or-no question (is there a tray, a compositor);
    // tests answer for desktops they cannot run.
    using Probe = std::function<bool()>;

    static constexpr int kRefreshIntervalMs = 2000;

    explicit AppDelegate(QuickHostRegistry& registry, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Claims the one-instance socket, builds the tray item and the panel,
    // refreshes, starts the timer and shows the panel. False when another
    // instance already runs: it was asked to show its panel instead.
    bool launch();

    void buildWindow();
    void toggleWindow();
    void showPanel();
    // ✕ and Escape: hides the panel beside a tray; without one there would
    // be no way back, so it is minimised to the taskbar instead.
    void closePanel();
    void quit();

    // Looks for a tray (at launch and on every tick): makes the tray icon as
    // soon as one appears, and makes the panel a tool window beside a tray or
    // an ordinary window without one.
    void checkTray();
    bool hasTray() const { return m_hasTray; }
    // The title area's right-click menu while there is no tray.
    QMenu* titleMenu() const { return m_titleMenu; }
    // The smallest panel that still shows its header and one row whole, in
    // the current form (collapsed or expanded).
    QSize minimumPanelSize();
    // Moves the panel back to the top right of the primary screen when too
    // little of it shows on any screen.
    void keepPanelOnScreen();

    // Brings the panel up to date: apply(gather()).
    void refresh();
    // Reads everything a refresh shows, in a fixed order (dead quick-host
    // servers are pruned first).
    PanelData gather();
    void apply(const PanelData& data);
    // The timer's tick: waits while a mouse button is held, so a click is
    // never split between a row and its replacement.
    void timerFired();

    void togglePanelCollapse();
    void applyCollapseState(bool animate);
    int collapsedHeight();
    void windowDidResize();

    void openPressed();
    void hostPicked(const QString& path);
    // A row's Start or Restart: serves the package and refreshes; says why
    // when no server runs.
    void startPackage(const QString& path);
    // A paused row's Remove: to the trash and forgotten, or kept (still
    // listed and paused) with one alert when it cannot go to the trash.
    void trashPackage(const QString& title, const QString& path);
    void changeDefaultFolderPressed();
    void updateDefaultFolderLabel();

    QuickHostRegistry& registry() { return m_registry; }
    const QString& hostMjsPath() const { return m_hostMjsPath; }
    void setAlertHook(AlertHook hook) { m_alert = std::move(hook); }
    void showAlert(const QString& message, const QString& informative);
    void setDataSource(DataSource source) { m_dataSource = std::move(source); }
    void setTrayProbe(Probe probe) { m_trayProbe = std::move(probe); }
    void setCompositorProbe(Probe probe) { m_compositorProbe = std::move(probe); }
    // Keeps the tray's badge and the network notices in step with each
    // refresh; launch() makes the app's own.
    ExposureMonitor* exposureMonitor() const { return m_exposure; }
    void setExposureMonitor(ExposureMonitor* monitor) { m_exposure = monitor; }

    ActivatingPanel* window() const { return m_window; }
    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    QTimer* timer() const { return m_timer; }
    QLabel* headerSubtitle() const { return m_headerSubtitle; }
    QWidget* headerCompactView() const { return m_headerCompactView; }
    QWidget* headerExpandedView() const { return m_headerExpandedView; }
    QScrollArea* scrollView() const { return m_scrollView; }
    FlippedStackView* documentView() const { return m_documentView; }
    FlippedStackView* hostedStack() const { return m_hostedStack; }
    FlippedStackView* quickStack() const { return m_quickStack; }
    FlippedStackView* recentStack() const { return m_recentStack; }
    FlippedStackView* pausedStack() const { return m_pausedStack; }
    QLabel* hostedEmptyLabel() const { return m_hostedEmptyLabel; }
    QLabel* recentEmptyLabel() const { return m_recentEmptyLabel; }
    SectionHeader* hostedHeader() const { return m_hostedHeader; }
    SectionHeader* quickHeader() const { return m_quickHeader; }
    SectionHeader* recentHeader() const { return m_recentHeader; }
    SectionHeader* pausedHeader() const { return m_pausedHeader; }
    QWidget* hostedEmptyRow() const { return m_hostedEmptyRow; }
    QWidget* hostedListRow() const { return m_hostedListRow; }
    QWidget* quickListRow() const { return m_quickListRow; }
    QWidget* recentEmptyRow() const { return m_recentEmptyRow; }
    QWidget* recentListRow() const { return m_recentListRow; }
    QWidget* pausedListRow() const { return m_pausedListRow; }
    ElidedLabel* defaultFolderLabel() const { return m_defaultFolderLabel; }
    QWidget* contentView() const { return m_contentView; }
    QLabel* titleLabel() const { return m_titleLabel; }
    SymbolButton* collapseButton() const { return m_collapseButton; }
    ClosureButton* closeButton() const { return m_closeButton; }
    ClosureButton* copyButton() const { return m_copyButton; }
    ClosureButton* shareButton() const { return m_shareButton; }
    ClosureButton* openButton() const { return m_openButton; }
    ClosureButton* changeButton() const { return m_changeButton; }
    SharePopup* sharePopup() const { return m_sharePopup; }
    ItemChooser* chooser() const { return m_chooser; }
    QPropertyAnimation* collapseAnimation() const { return m_collapseAnimation; }
    int expandedHeight() const { return m_expandedHeight; }
    bool refreshDeferred() const { return m_refreshDeferred; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Section;
    Section buildSection(const QString& title, const QString& id, ClosureButton* trailing,
                         const QString& emptyText);
    void buildStatusItem();
    void buildMainMenu();
    void layoutContent();
    void sharePressed();
    void prepareShow();
    void escapePressed();
    void updateMinimumSize();
    bool showTitleMenu(const QPoint& pos, const QPoint& globalPos);
    void watchScreens();
    // Brings an open chooser of this kind forward; false when there is none.
    bool raiseChooser(bool allowFiles);

    QuickHostRegistry& m_registry;
    AlertHook m_alert;
    DataSource m_dataSource;
    Probe m_trayProbe;
    Probe m_compositorProbe;
    // Until launch has looked, the panel acts as it does beside a tray.
    bool m_hasTray = true;
    QPointer<QMenu> m_titleMenu;
    // The smallest a server row can be; measured once, fonts do not change.
    QSize m_rowMinimum;

    QPointer<ActivatingPanel> m_window;
    QSystemTrayIcon* m_statusItem = nullptr;
    std::unique_ptr<QMenu> m_statusMenu;
    QTimer* m_timer = nullptr;
    QLabel* m_headerSubtitle = nullptr;
    QWidget* m_headerCompactView = nullptr;
    QWidget* m_headerExpandedView = nullptr;
    QScrollArea* m_scrollView = nullptr;
    FlippedStackView* m_documentView = nullptr;
    FlippedStackView* m_hostedStack = nullptr;
    FlippedStackView* m_quickStack = nullptr;
    FlippedStackView* m_recentStack = nullptr;
    FlippedStackView* m_pausedStack = nullptr;
    QLabel* m_hostedEmptyLabel = nullptr;
    QLabel* m_recentEmptyLabel = nullptr;
    SectionHeader* m_hostedHeader = nullptr;
    SectionHeader* m_quickHeader = nullptr;
    SectionHeader* m_recentHeader = nullptr;
    SectionHeader* m_pausedHeader = nullptr;
    QWidget* m_hostedEmptyRow = nullptr;
    QWidget* m_hostedListRow = nullptr;
    QWidget* m_quickListRow = nullptr;
    QWidget* m_recentEmptyRow = nullptr;
    QWidget* m_recentListRow = nullptr;
    QWidget* m_pausedListRow = nullptr;
    ElidedLabel* m_defaultFolderLabel = nullptr;
    QWidget* m_contentView = nullptr;
    QLabel* m_titleLabel = nullptr;
    SymbolButton* m_collapseButton = nullptr;
    ClosureButton* m_closeButton = nullptr;
    ClosureButton* m_copyButton = nullptr;
    ClosureButton* m_shareButton = nullptr;
    ClosureButton* m_openButton = nullptr;
    ClosureButton* m_changeButton = nullptr;
    // The scroll view's two layouts: down to the panel's bottom edge, or
    // zero high while the panel is collapsed.
    bool m_scrollViewZeroHeight = false;
    int m_expandedHeight = 560;
    const QString m_hostMjsPath;

    QPointer<SharePopup> m_sharePopup;
    QPointer<ItemChooser> m_chooser;
    QPointer<QPropertyAnimation> m_collapseAnimation;
    SingleInstance* m_instance = nullptr;
    ExposureMonitor* m_exposure = nullptr;
    bool m_refreshDeferred = false;
};

}  // namespace varnholt
