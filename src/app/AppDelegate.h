#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

#include "AppHooks.h"
#include "ShareFollower.h"
#include "app/panel/PanelData.h"
#include "app/panel/rows/PanelActions.h"
#include "quickhost/QuickHostRegistry.h"

class QMenu;
class QTimer;

namespace varnholt {

class ContainerProbe;
class HostPicker;
class PanelWindow;
class SingleInstance;
class StatusItem;

// The one owner of the running app: it wires the registry, the refresh
// timer, the tray icon and the panel together and does what the panel's rows
// ask. Every operation runs on the main thread.
class AppDelegate : public QObject, public PanelActions {
    Q_OBJECT
public:
    static constexpr int kRefreshIntervalMs = 2000;

    explicit AppDelegate(QuickHostRegistry& registry, AppHooks hooks = {},
                         QObject* parent = nullptr);
    ~AppDelegate() override;

    // Claims the one-instance socket, builds the tray item and the panel,
    // refreshes, starts the timer and shows the panel. False when another
    // instance already runs: it was asked to show its panel instead.
    bool launch();
    // The panel alone, not shown; launch() does it first.
    void buildWindow();

    // Looks for a tray (at launch and on every tick): the panel floats beside
    // one and is an ordinary window without.
    void checkTray();
    // Brings the panel up to date: apply(gather()).
    void refresh();
    // Reads everything a refresh shows, in a fixed order (dead quick-host
    // servers are pruned first).
    PanelData gather();
    void apply(const PanelData& data);
    // The timer's tick: waits while a mouse button is held, so a click is
    // never split between a row and its replacement.
    void timerFired();
    void quit();
    void showAlert(const QString& message, const QString& informative);

    // What the rows ask for.
    void stopServer(const HostedPort& server) override;
    void startPackage(const QString& path) override;
    void reshare(const QString& path, ServeOptions options) override;
    void cancelPick(const QString& pickedPath) override;
    void stopPackage(const QString& title, const QString& path) override;
    void pausePackage(const QString& title, const QString& path) override;
    void resumePackage(const QString& path) override;
    void trashPackage(const QString& title, const QString& path) override;
    void dismissRecent(const Store::RecentEvent& event) override;

    QuickHostRegistry& registry() { return m_registry; }
    // Null until buildWindow(), and without a screen.
    PanelWindow* panel() const { return m_panel; }
    StatusItem* statusItem() const { return m_statusItem; }
    HostPicker* picker() const { return m_picker; }
    QTimer* timer() const { return m_timer; }
    bool refreshDeferred() const { return m_refreshDeferred; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillAppMenu(QMenu* menu, bool withShowHide);
    void warnOnceIfSettingsCannotBeKept();
    // Reports a start in the background: a refresh, and an alert when it
    // failed.
    QuickHostRegistry::Started reportStart();

    QuickHostRegistry& m_registry;
    AppHooks m_hooks;
    PanelWindow* m_panel = nullptr;
    StatusItem* m_statusItem = nullptr;
    HostPicker* m_picker = nullptr;
    PanelData m_shown;  // the last data applied, pick rows included
    QTimer* m_timer = nullptr;
    SingleInstance* m_instance = nullptr;
    std::unique_ptr<ContainerProbe> m_containers;
    bool m_refreshDeferred = false;
    bool m_settingsWarned = false;
    ShareFollower m_sharing;
    // The link each package was last given in this run, so a Stop and Start
    // keeps a private package private.
    QHash<QString, bool> m_privately;
};

}  // namespace varnholt
