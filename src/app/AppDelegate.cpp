#include "AppDelegate.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>

#include "HostPicker.h"
#include "Log.h"
#include "SingleInstance.h"
#include "app/controls/AlertBox.h"
#include "app/controls/AppIcon.h"
#include "app/desktop/AppMenu.h"
#include "app/desktop/CompositorWatch.h"
#include "app/desktop/ExposureMonitor.h"
#include "app/desktop/PanelPlatform.h"
#include "app/desktop/PlatformMenu.h"
#include "app/desktop/StatusItem.h"
#include "app/desktop/UrlOpener.h"
#include "app/panel/ActivatingPanel.h"
#include "app/panel/PanelView.h"
#include "app/panel/PanelWindow.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"
#include "quickhost/Trash.h"
#include "scan/ContainerProbe.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

namespace varnholt {

AppDelegate::AppDelegate(QuickHostRegistry& registry, AppHooks hooks, QObject* parent)
    : QObject(parent),
      m_registry(registry),
      m_hooks(std::move(hooks)),
      m_containers(std::make_unique<ContainerProbe>()) {
    if (!m_hooks.trayProbe) {
        m_hooks.trayProbe = &QSystemTrayIcon::isSystemTrayAvailable;
    }
    if (!m_hooks.compositorProbe) {
        m_hooks.compositorProbe = &PanelPlatform::compositorRunning;
    }
    if (!m_hooks.alert) {
        m_hooks.alert = [this](const QString& message, const QString& informative) {
            AlertBox::make(message, informative, m_panel ? m_panel->window() : nullptr)->exec();
        };
    }
    UrlOpener::setFailureHandler(
        [self = QPointer<AppDelegate>(this)](const QUrl& url, const QString& why) {
            if (self) {
                self->showAlert(QStringLiteral("Couldn't open %1").arg(url.toDisplayString()), why);
            }
        });
    m_picker = new HostPicker(
        m_registry, [this](const QString& m, const QString& i) { showAlert(m, i); }, this);
    connect(m_picker, &HostPicker::refreshRequested, this, &AppDelegate::refresh);
    // Progress changes only the pick rows: the last data again, no new scan.
    connect(m_picker, &HostPicker::picksChanged, this, [this] { apply(m_shown); });
    m_statusItem = new StatusItem(
        m_hooks.trayProbe, [this](QMenu* menu) { fillAppMenu(menu, true); }, this);
    connect(m_statusItem, &StatusItem::activated, this, [this] {
        if (m_panel) {
            m_panel->toggle();
        }
    });
    connect(m_statusItem, &StatusItem::iconCreated, this, [this](QSystemTrayIcon* icon) {
        if (m_hooks.exposure) {
            m_hooks.exposure->setTray(icon);
        }
    });
}

AppDelegate::~AppDelegate() {
    if (m_refreshDeferred) {
        qApp->removeEventFilter(this);
    }
    delete m_panel;
}

bool AppDelegate::launch() {
    m_instance = new SingleInstance(SingleInstance::defaultSocketPath(), this);
    if (!m_instance->claim()) {
        qCInfo(lcApp) << "Another instance runs already: it shows its panel instead";
        return false;
    }
    connect(m_instance, &SingleInstance::showRequested, this, [this] {
        if (m_panel) {
            m_panel->show();
        }
    });

    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setWindowIcon(makeAppIcon());
    if (!m_hooks.exposure) {
        m_hooks.exposure = ExposureMonitor::create(this);
    }
    buildWindow();
    checkTray();  // before the first show: it picks the kind of window
    if (m_panel) {
        installPlatformMenu(m_panel->window(), [self = QPointer<AppDelegate>(this)] {
            if (self) {
                self->quit();
            }
        });
        refresh();
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &AppDelegate::timerFired);
    m_timer->start();
    if (m_panel) {
        m_panel->window()->show();
        m_panel->window()->raise();
    } else {
        qCWarning(lcApp) << "No screen to show the panel on";
    }
    return true;
}

void AppDelegate::buildWindow() {
    m_panel = PanelWindow::create(
        this,
        [this](const QString& path) {
            auto entry = m_registry.info(path);
            if (entry) {
                entry->received = m_sharing.received(path);
            }
            return entry;
        },
        m_hooks.compositorProbe, this);
    if (!m_panel) {
        return;
    }
    PanelView* view = m_panel->view();
    connect(m_panel, &PanelWindow::refreshRequested, this, &AppDelegate::refresh);
    connect(view, &PanelView::openClicked, m_picker, &HostPicker::openPressed);
    connect(view, &PanelView::changeFolderClicked, m_picker,
            &HostPicker::changeDefaultFolderPressed);
    connect(m_picker, &HostPicker::defaultFolderChanged, view,
            &PanelView::updateDefaultFolderLabel);
    m_picker->setWindow(m_panel->window());
    m_panel->setTitleMenuFiller([this](QMenu* menu) { fillAppMenu(menu, false); });
    connect(new CompositorWatch(m_panel), &CompositorWatch::changed, m_panel,
            &PanelWindow::followCompositor);
    m_panel->applyStoredForm();
}

void AppDelegate::fillAppMenu(QMenu* menu, bool withShowHide) {
    const QPointer<AppDelegate> self(this);
    varnholt::fillAppMenu(menu,
                          {[self] {
                               if (self && self->m_panel) {
                                   self->m_panel->toggle();
                               }
                           },
                           [self] {
                               if (self) {
                                   self->quit();
                               }
                           },
                           [self](const QString& message, const QString& detail) {
                               if (self) {
                                   self->showAlert(message, detail);
                               }
                           },
                           [self] {
                               if (self) {
                                   self->refresh();
                               }
                           }},
                          withShowHide);
}

void AppDelegate::checkTray() {
    const bool tray = m_statusItem->check();
    if (m_panel) {
        m_panel->setHasTray(tray);
    }
}

void AppDelegate::quit() {
    qCInfo(lcApp) << "Quitting; the servers it started keep running";
    QCoreApplication::quit();
}

void AppDelegate::showAlert(const QString& message, const QString& informative) {
    qCWarning(lcApp).noquote() << "Alert:" << message << "-" << informative;
    if (m_hooks.alert) {
        m_hooks.alert(message, informative);
    }
}

// ---------------------------------------------------------------------------
// The refresh cycle

void AppDelegate::timerFired() {
    checkTray();
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        if (!m_refreshDeferred) {
            m_refreshDeferred = true;
            qApp->installEventFilter(this);
        }
        return;
    }
    refresh();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (m_refreshDeferred && event->type() == QEvent::MouseButtonRelease) {
        // Let the release reach its button first, then catch up.
        QTimer::singleShot(0, this, [this] {
            if (m_refreshDeferred && QGuiApplication::mouseButtons() == Qt::NoButton) {
                m_refreshDeferred = false;
                qApp->removeEventFilter(this);
                refresh();
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::refresh() {
    if (!m_panel) {
        return;
    }
    apply(m_hooks.dataSource ? m_hooks.dataSource() : gather());
    warnOnceIfSettingsCannotBeKept();
}

void AppDelegate::warnOnceIfSettingsCannotBeKept() {
    const QString problem = Store::settingsProblem();
    if (problem.isEmpty() || m_settingsWarned) {
        return;
    }
    m_settingsWarned = true;
    // From the event loop, not from inside the refresh that noticed it.
    QTimer::singleShot(0, this, [this, problem] {
        showAlert(QStringLiteral("Settings can't be kept"),
                  problem + QStringLiteral(". Varnholt Control leaves it as it is: folded "
                                           "sections, paused packages and other choices last "
                                           "only until it quits. Replace it with a regular "
                                           "file of your own to keep them."));
    });
}

PanelData AppDelegate::gather() {
    PanelData data;
    m_registry.pruneDead();
    data.address = HostScanner::wifiIP();
    data.ssid = HostScanner::ssid();
    // One reading of the settings for the whole refresh: a hand-edited file
    // can be large, and every single read would parse it again.
    const QString hosted = QStringLiteral("hosted");
    const QString quick = QStringLiteral("quick");
    const QString recent = QStringLiteral("recent");
    const QString paused = QStringLiteral("paused");
    const Store::Snapshot settings = Store::snapshot({hosted, quick, recent, paused});
    // The engines' answer of the last refresh: asking them waits for nobody.
    data.servers = HostScanner::withContainers(HostScanner::scan({settings.showEveryListener}),
                                               m_containers->poll());
    data.hostedCollapsed = settings.collapsed.value(hosted);
    data.quickCollapsed = settings.collapsed.value(quick);
    data.quick = PackageDiscovery::quickHostPackages(settings.pausedPaths);
    data.recentCollapsed = settings.collapsed.value(recent);
    data.recent = settings.recent;
    data.pausedCollapsed = settings.collapsed.value(paused);
    data.paused = PackageDiscovery::pausedPackages(settings.pausedPaths);
    // Servers an earlier run started show as running again.
    m_registry.adopt(data.servers, data.quick + data.paused);
    m_sharing.follow(m_registry, data, m_hooks.exposure);
    return data;
}

void AppDelegate::apply(const PanelData& gathered) {
    if (!m_panel) {
        return;
    }
    m_shown = gathered;
    m_shown.picks = m_picker->progressRows();
    const PanelData& data = m_shown;
    m_panel->apply(data);
    if (m_hooks.exposure) {
        m_hooks.exposure->update(data.servers, data.address, data.ssid);
    }
}

// ---------------------------------------------------------------------------
// What the rows ask for

void AppDelegate::stopServer(const HostedPort& server) {
    if (server.kind == HostedPort::Kind::Container) {
        // Its engine stops it: the forwarder may be root's, and it would
        // only be started again.
        if (!ContainerProbe::stop(server.engine, server.containerId)) {
            showAlert(QStringLiteral("Couldn't stop %1").arg(server.friendlyName),
                      QStringLiteral("%1 is not installed any more.").arg(server.engine));
            return;
        }
        Store::logRecent(server.friendlyName, QStringLiteral("stopped"));
        return;
    }
    if (server.kind != HostedPort::Kind::Process) {
        return;  // another user's program is not ours to stop
    }
    HostScanner::stop(server.pid);
    Store::logRecent(server.friendlyName, QStringLiteral("stopped"));
}

QuickHostRegistry::Started AppDelegate::reportStart() {
    return [self = QPointer<AppDelegate>(this)](bool started, const QString& failure) {
        if (!self) {
            return;
        }
        self->refresh();
        if (!started && !failure.isEmpty()) {
            self->showAlert(QStringLiteral("Couldn't host that"), failure);
        }
    };
}

void AppDelegate::startPackage(const QString& path) {
    // The row shows the server at once; its wait to listen runs on the
    // event loop and only a failure comes back to say so. Uploads are never
    // carried over to a new server: the user turns them on each time.
    const bool privately = m_privately.value(path, Store::shareNewHostsPrivately());
    m_registry.startInBackground(path, reportStart(), {privately, false});
    refresh();
}

void AppDelegate::reshare(const QString& path, ServeOptions options) {
    const auto now = m_registry.info(path);
    const bool freshLink = options.newLink || !now || !now->isPrivate();
    const QString link = !options.privately ? QStringLiteral(" at its bare address")
                         : freshLink        ? QStringLiteral(" with a new private link")
                                            : QStringLiteral(" with its private link");
    qCInfo(lcApp).noquote() << QStringLiteral("Serving %1 anew%2%3")
                                   .arg(path, link,
                                        options.uploads ? QStringLiteral(", taking uploads")
                                                        : QString());
    m_privately.insert(path, options.privately);
    m_registry.restartInBackground(path, options, reportStart());
    refresh();
}

void AppDelegate::stopPackage(const QString& title, const QString& path) {
    m_registry.stop(path);
    Store::logRecent(title, QStringLiteral("stopped"), path);
    refresh();
}

void AppDelegate::pausePackage(const QString& title, const QString& path) {
    if (m_registry.info(path)) {
        m_registry.stop(path);
        Store::logRecent(title, QStringLiteral("stopped"), path);
    }
    Store::insertPausedPath(path);
    refresh();
}

void AppDelegate::resumePackage(const QString& path) {
    Store::removePausedPath(path);
    startPackage(path);
}

void AppDelegate::trashPackage(const QString& title, const QString& path) {
    QString failure;
    if (!Trash::moveToTrash(path, &failure)) {
        refresh();
        showAlert(QStringLiteral("Couldn't move that to the Trash"), failure);
        return;
    }
    qCInfo(lcApp).noquote() << "Moved" << path << "to the trash";
    Store::removePausedPath(path);
    Store::logRecent(title, QStringLiteral("removed"), path);
    refresh();
}

void AppDelegate::cancelPick(const QString& pickedPath) {
    m_picker->cancel(pickedPath);
}

void AppDelegate::dismissRecent(const Store::RecentEvent& event) {
    Store::removeRecent(event);
    refresh();
}

}  // namespace varnholt
