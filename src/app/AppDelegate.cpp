#include "AppDelegate.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ActivatingPanel.h"
#include "AppIcon.h"
#include "AppMenu.h"
#include "ClosureButton.h"
#include "ElidedLabel.h"
#include "ExposureMonitor.h"
#include "ItemChooser.h"
#include "PanelPlatform.h"
#include "PlatformMenu.h"
#include "PreferenceItems.h"
#include "SharePopup.h"
#include "SingleInstance.h"
#include "exec/NodeResolver.h"
#include "quickhost/HostPicking.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"
#include "quickhost/Trash.h"
#include "scan/DisplayText.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

// The app's lifecycle (launch, tray, show and hide, quit) and the actions
// behind the panel's buttons; the panel's views are built in
// AppDelegatePanel.cpp and refreshed in AppDelegateRefresh.cpp.

namespace varnholt {

namespace {

QString abbreviatedHome(const QString& path) {
    const QString home = QDir::homePath();
    if (path == home) {
        return QStringLiteral("~");
    }
    if (home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/'))) {
        return QLatin1Char('~') + path.mid(home.size());
    }
    return path;
}

}  // namespace

AppDelegate::AppDelegate(QuickHostRegistry& registry, QObject* parent)
    : QObject(parent),
      m_registry(registry),
      m_trayProbe(&QSystemTrayIcon::isSystemTrayAvailable),
      m_compositorProbe(&PanelPlatform::compositorRunning),
      m_hostMjsPath(varnholt::hostMjsPath()) {
    m_alert = [this](const QString& message, const QString& informative) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Varnholt Control"), message,
                        QMessageBox::Ok, m_window);
        box.setInformativeText(informative);
        box.exec();
    };
}

AppDelegate::~AppDelegate() {
    if (m_refreshDeferred) {
        qApp->removeEventFilter(this);
    }
    delete m_window;
}

bool AppDelegate::launch() {
    m_instance = new SingleInstance(SingleInstance::defaultSocketPath(), this);
    if (!m_instance->claim()) {
        return false;
    }
    connect(m_instance, &SingleInstance::showRequested, this, &AppDelegate::showPanel);

    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setWindowIcon(makeAppIcon());
    m_exposure = ExposureMonitor::create(this);
    buildWindow();
    checkTray();  // before the first show: it picks the kind of window
    buildMainMenu();
    if (m_window) {
        refresh();
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &AppDelegate::timerFired);
    m_timer->start();
    if (m_window) {
        m_window->show();
        m_window->raise();
    }
    return true;
}

void AppDelegate::buildMainMenu() {
    installPlatformMenu(m_window, [self = QPointer<AppDelegate>(this)] {
        if (self) {
            self->quit();
        }
    });
}

void AppDelegate::buildStatusItem() {
    m_statusItem = new QSystemTrayIcon(makeAppIcon(), this);
    m_statusItem->setToolTip(QStringLiteral("Varnholt"));
    m_statusMenu = std::make_unique<QMenu>();
    fillAppMenu(m_statusMenu.get(), this, true);
    if (m_exposure) {
        m_exposure->setTray(m_statusItem);
    }
    m_statusItem->setContextMenu(m_statusMenu.get());
    connect(m_statusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    toggleWindow();
                }
            });
    m_statusItem->show();
}

void AppDelegate::toggleWindow() {
    if (!m_window) {
        return;
    }
    if (m_window->isVisible() && !m_window->isMinimized()) {
        m_window->hide();
        return;
    }
    showPanel();
}

void AppDelegate::showPanel() {
    if (!m_window) {
        return;
    }
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::quit() {
    QCoreApplication::quit();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_contentView && event->type() == QEvent::ContextMenu) {
        const auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        if (showTitleMenu(menuEvent->pos(), menuEvent->globalPos())) {
            return true;
        }
    }
    if (watched == m_contentView &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest ||
         event->type() == QEvent::Show)) {
        layoutContent();
    }
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

void AppDelegate::sharePressed() {
    if (!m_shareButton) {
        return;
    }
    if (m_sharePopup) {
        m_sharePopup->close();
    }
    m_sharePopup = new SharePopup(HostScanner::wifiIP(), m_shareButton);
    m_sharePopup->setComposited(!m_compositorProbe || m_compositorProbe());
    m_sharePopup->showUnder(m_shareButton);
}

// ---------------------------------------------------------------------------
// Host picking

bool AppDelegate::raiseChooser(bool allowFiles) {
    if (!m_chooser || !m_chooser->isVisible()) {
        return false;
    }
    if (m_chooser->allowsFiles() != allowFiles) {
        m_chooser->close();  // the other chooser gives way to this one
        return false;
    }
    m_chooser->raise();
    m_chooser->activateWindow();
    return true;
}

void AppDelegate::openPressed() {
    // The chooser leaves the panel usable; a second "Open…" brings the open
    // chooser forward rather than stacking another.
    if (raiseChooser(true)) {
        return;
    }
    auto* chooser = new ItemChooser(true, QStringLiteral("Host"), m_window);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowTitle(QStringLiteral("Host a File or Folder"));
    if (const auto folder = Store::defaultOpenFolder()) {
        chooser->setDirectory(*folder);
    }
    connect(chooser, &ItemChooser::itemChosen, this, &AppDelegate::hostPicked,
            Qt::QueuedConnection);
    m_chooser = chooser;
    chooser->show();
}

void AppDelegate::hostPicked(const QString& path) {
    QString failure;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const HostPicking::PickOutcome picked = HostPicking::packagePick(
            resolveNode(), m_hostMjsPath, path, PackageDiscovery::packagesFolder());
        if (picked.packageDir) {
            Store::removePausedPath(*picked.packageDir);
            if (!m_registry.start(*picked.packageDir)) {
                failure = m_registry.lastFailure();
            }
            refresh();
        } else {
            failure = picked.failure;
        }
    }
    if (!failure.isEmpty()) {
        showAlert(QStringLiteral("Couldn't host that"), failure);
    }
}

void AppDelegate::startPackage(const QString& path) {
    const bool started = m_registry.start(path).has_value();
    const QString failure = m_registry.lastFailure();
    refresh();
    if (!started) {
        showAlert(QStringLiteral("Couldn't host that"), failure);
    }
}

void AppDelegate::trashPackage(const QString& title, const QString& path) {
    QString failure;
    if (!Trash::moveToTrash(path, &failure)) {
        refresh();
        showAlert(QStringLiteral("Couldn't move that to the Trash"), failure);
        return;
    }
    Store::removePausedPath(path);
    Store::logRecent(title, QStringLiteral("removed"), path);
    refresh();
}

void AppDelegate::changeDefaultFolderPressed() {
    if (raiseChooser(false)) {
        return;
    }
    auto* chooser = new ItemChooser(false, QStringLiteral("Set Default"), m_window);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowTitle(
        QStringLiteral("Choose the folder \u201COpen\u2026\u201D should start from"));
    if (const auto folder = Store::defaultOpenFolder()) {
        chooser->setDirectory(*folder);
    }
    connect(chooser, &ItemChooser::itemChosen, this, [this](const QString& folder) {
        Store::setDefaultOpenFolder(folder);
        updateDefaultFolderLabel();
    });
    m_chooser = chooser;
    chooser->show();
}

void AppDelegate::updateDefaultFolderLabel() {
    if (!m_defaultFolderLabel) {
        return;
    }
    const std::optional<QString> folder = Store::defaultOpenFolder();
    // Folder names are anyone's bytes: shown display-safe, like row titles.
    m_defaultFolderLabel->setText(folder ? QStringLiteral("Default: ") +
                                               displaySafe(abbreviatedHome(*folder))
                                         : QStringLiteral("Default: not set"));
}

void AppDelegate::showAlert(const QString& message, const QString& informative) {
    if (m_alert) {
        m_alert(message, informative);
    }
}

}  // namespace varnholt
