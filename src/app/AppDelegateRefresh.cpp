#include "AppDelegate.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>

#include "ElidedLabel.h"
#include "ExposureMonitor.h"
#include "FlippedStackView.h"
#include "RowActions.h"
#include "RowBuilders.h"
#include "RowSync.h"
#include "SectionHeader.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

// The refresh cycle: gathering what the panel shows and bringing each
// section's rows up to date.

namespace varnholt {

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

void AppDelegate::refresh() {
    if (!m_window) {
        return;
    }
    apply(m_dataSource ? m_dataSource() : gather());
}

PanelData AppDelegate::gather() {
    PanelData data;
    m_registry.pruneDead();
    data.address = HostScanner::wifiIP();
    data.ssid = HostScanner::ssid();
    data.servers = HostScanner::scan();
    // One reading of the settings for the whole refresh: a hand-edited file
    // can be large, and every single read would parse it again.
    const QString hosted = QStringLiteral("hosted");
    const QString quick = QStringLiteral("quick");
    const QString recent = QStringLiteral("recent");
    const QString paused = QStringLiteral("paused");
    const Store::Snapshot settings = Store::snapshot({hosted, quick, recent, paused});
    data.hostedCollapsed = settings.collapsed.value(hosted);
    data.quickCollapsed = settings.collapsed.value(quick);
    data.quick = PackageDiscovery::quickHostPackages(settings.pausedPaths);
    data.recentCollapsed = settings.collapsed.value(recent);
    data.recent = settings.recent;
    data.pausedCollapsed = settings.collapsed.value(paused);
    data.paused = PackageDiscovery::pausedPackages(settings.pausedPaths);
    // Servers an earlier run started show as running again.
    m_registry.adopt(data.servers, data.quick + data.paused);
    return data;
}

void AppDelegate::apply(const PanelData& data) {
    if (!m_window) {
        return;
    }
    m_headerSubtitle->setText(networkLine(data.address, data.ssid));
    const qsizetype serverCount = data.servers.size();
    if (auto* layout = m_headerCompactView->layout()) {
        for (int i = 0; i < layout->count(); ++i) {
            if (auto* label = qobject_cast<ElidedLabel*>(layout->itemAt(i)->widget())) {
                label->setText(compactSummary(data.address, serverCount));
                break;
            }
        }
    }

    // Hosted servers.
    m_hostedListRow->setHidden(data.hostedCollapsed);
    m_hostedEmptyRow->setHidden(data.hostedCollapsed || serverCount > 0);
    m_hostedHeader->setSuffix(countSuffix(serverCount));
    QList<RowPlan> plans;
    for (const HostedPort& server : data.servers) {
        plans.append({hostedRowKey(server, data.address), [server, address = data.address] {
                          QWidget* row = makeHostedRow(server, address);
                          addHostedRowActions(row, server, address);
                          return row;
                      }});
    }
    QList<QWidget*> changed;
    if (syncRows(m_hostedStack, plans, {})) {
        changed.append(m_hostedStack);
    }

    // Quick-host packages.
    m_quickListRow->setHidden(data.quickCollapsed);
    plans.clear();
    for (const QuickHostPackage& package : data.quick) {
        // The row's menu opens the server at the LAN address, so a new
        // address rebuilds the row.
        const std::optional<QuickHostEntry> running = m_registry.info(package.path);
        plans.append({quickHostRowKey(package, running) + QChar(0x1f) + data.address,
                      [this, package, running, address = data.address] {
                          QWidget* row = makeQuickHostRow(package, this);
                          addQuickHostRowActions(row, package, running, address);
                          return row;
                      }});
    }
    if (syncRows(m_quickStack, plans, {})) {
        changed.append(m_quickStack);
    }

    // Recent events keep their natural width.
    m_recentListRow->setHidden(data.recentCollapsed);
    m_recentEmptyRow->setHidden(data.recentCollapsed || !data.recent.isEmpty());
    plans.clear();
    for (const Store::RecentEvent& event : data.recent) {
        plans.append({recentRowKey(event), [this, event] { return makeRecentRow(event, this); }});
    }
    if (syncRows(m_recentStack, plans, Qt::AlignLeft)) {
        changed.append(m_recentStack);
    }
    for (QWidget* row : m_recentStack->arrangedSubviews()) {
        updateRecentRowTime(row);
    }

    // Paused packages.
    m_pausedListRow->setHidden(data.pausedCollapsed);
    m_pausedHeader->setSuffix(countSuffix(data.paused.size()));
    plans.clear();
    for (const QuickHostPackage& package : data.paused) {
        plans.append(
            {pausedRowKey(package), [this, package] { return makePausedRow(package, this); }});
    }
    if (syncRows(m_pausedStack, plans, {})) {
        changed.append(m_pausedStack);
    }
    layOutOnce(changed);
    // The network line's height can change with its text.
    updateMinimumSize();

    if (m_exposure) {
        m_exposure->update(data);
    }
}

}  // namespace varnholt
