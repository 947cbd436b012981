#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "ExposureTracker.h"
#include "scan/HostedPort.h"

class QSystemTrayIcon;

namespace varnholt {

// Keeps the tray in step with what the network can reach (a count badge and
// a tooltip naming the servers) and announces each server that newly opens
// to the network, while the user wants that.
class ExposureMonitor : public QObject {
    Q_OBJECT
public:
    using Notify = std::function<void(const QString& text)>;

    // tray may be absent (no system tray): then only notifications go out.
    ExposureMonitor(QSystemTrayIcon* tray, Notify notify,
                    ExposureTracker tracker = ExposureTracker(), QObject* parent = nullptr);
    // The app's monitor: notifications through the desktop's service, else
    // through the tray's message. The tray comes later, when there is one.
    static ExposureMonitor* create(QObject* parent);

    // The tray may come and go with the desktop's panel.
    void setTray(QSystemTrayIcon* tray);
    QSystemTrayIcon* tray() const;

    // What one refresh saw: the servers, the LAN address and the network name.
    void update(const QList<HostedPort>& servers, const QString& address, const QString& ssid);

    // A notice of its own (files received): shown whatever the exposure
    // notices are set to, since the user asked for uploads.
    void announce(const QString& text);

    int badgeCount() const { return m_count; }

private:
    QPointer<QSystemTrayIcon> m_tray;
    Notify m_notify;
    ExposureTracker m_tracker;
    int m_count = -1;
    QString m_toolTip;
};

}  // namespace varnholt
