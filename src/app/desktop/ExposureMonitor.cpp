#include "ExposureMonitor.h"

#include <QSystemTrayIcon>

#include "DesktopNotifier.h"
#include "TrayBadge.h"
#include "store/Store.h"

namespace varnholt {

ExposureMonitor::ExposureMonitor(QSystemTrayIcon* tray, Notify notify, ExposureTracker tracker,
                                 QObject* parent)
    : QObject(parent), m_tray(tray), m_notify(std::move(notify)), m_tracker(std::move(tracker)) {}

ExposureMonitor* ExposureMonitor::create(QObject* parent) {
    auto* monitor = new ExposureMonitor(nullptr, {}, ExposureTracker(), parent);
    auto* notifier = new DesktopNotifier(
        [monitor](const QString& title, const QString& text) {
            QSystemTrayIcon* tray = monitor->tray();
            if (tray && QSystemTrayIcon::supportsMessages()) {
                tray->showMessage(title, text, QSystemTrayIcon::Information);
            }
        },
        QString(), monitor);
    monitor->m_notify = [notifier](const QString& text) { notifier->notify(text); };
    return monitor;
}

QSystemTrayIcon* ExposureMonitor::tray() const {
    return m_tray;
}

void ExposureMonitor::setTray(QSystemTrayIcon* tray) {
    m_tray = tray;
    // A new tray icon starts plain: the next update draws its badge.
    m_count = -1;
    m_toolTip.clear();
}

void ExposureMonitor::announce(const QString& text) {
    if (m_notify) {
        m_notify(text);
    }
}

void ExposureMonitor::update(const QList<HostedPort>& servers, const QString& address,
                             const QString& ssid) {
    const int count = static_cast<int>(netServers(servers).size());
    const QString toolTip = exposureToolTip(servers);
    // The tray redraws (and on some desktops round-trips the bus) on every
    // change, so only real changes reach it.
    if (m_tray && count != m_count) {
        m_tray->setIcon(badgedIcon(count));
    }
    if (m_tray && toolTip != m_toolTip) {
        m_tray->setToolTip(toolTip);
    }
    m_count = count;
    m_toolTip = toolTip;

    // Learned even while notices are off, so turning them on later does not
    // announce servers that were already open.
    const QList<HostedPort> fresh = m_tracker.update(servers);
    if (fresh.isEmpty() || !m_notify || !Store::notifyWhenExposed()) {
        return;
    }
    for (const QString& notice : exposureNotices(fresh, address, ssid)) {
        m_notify(notice);
    }
}

}  // namespace varnholt
