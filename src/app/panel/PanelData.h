#pragma once

#include <QList>
#include <QString>

#include "app/panel/rows/PickRow.h"
#include "quickhost/QuickHostPackage.h"
#include "scan/HostedPort.h"
#include "store/RecentEvent.h"

namespace varnholt {

// Everything one refresh shows, gathered before any view changes.
struct PanelData {
    QString address;  // LAN address or "not connected"
    QString ssid;     // empty when no network name is known
    QList<HostedPort> servers;
    QList<PickProgress> picks;  // shown above the servers
    bool hostedCollapsed = false;
    bool quickCollapsed = false;
    QList<QuickHostPackage> quick;
    bool recentCollapsed = false;
    QList<Store::RecentEvent> recent;
    bool pausedCollapsed = false;
    QList<QuickHostPackage> paused;
};

// "Home · 192.168.1.20", or "Wi-Fi: 192.168.1.20" without a network name.
QString networkLine(const QString& address, const QString& ssid);
// The address alone, or "192.168.1.20 — 3 files hosted" ("1 file").
QString compactSummary(const QString& address, qsizetype serverCount);
// "- 3", or the empty text for none.
QString countSuffix(qsizetype count);

}  // namespace varnholt
