#pragma once

#include <QString>

#include <optional>

#include "quickhost/QuickHostEntry.h"
#include "quickhost/QuickHostPackage.h"
#include "scan/HostedPort.h"
#include "store/RecentEvent.h"

class QWidget;

namespace varnholt {

class AppDelegate;

// One row per item of the panel's four sections. Handlers work on copies of
// the values captured here, so a row that a refresh has replaced still acts
// correctly while its handler runs.
QWidget* makeHostedRow(const HostedPort& server, const QString& ip);
QWidget* makeQuickHostRow(const QuickHostPackage& package, AppDelegate* appDelegate);
QWidget* makePausedRow(const QuickHostPackage& package, AppDelegate* appDelegate);
QWidget* makeRecentRow(const Store::RecentEvent& event, AppDelegate* appDelegate);

// What a row shows, as one comparable text: while it stays the same, the
// refresh keeps the row (and the pointer's hover on it) instead of rebuilding.
QString hostedRowKey(const HostedPort& server, const QString& ip);
QString quickHostRowKey(const QuickHostPackage& package,
                        const std::optional<QuickHostEntry>& running);
QString pausedRowKey(const QuickHostPackage& package);
QString recentRowKey(const Store::RecentEvent& event);
// Brings a kept recent row's relative time up to date.
void updateRecentRowTime(QWidget* row);

// The URL that Copy URL puts on the clipboard. Without a LAN address the
// server is still reachable on this machine, so that URL is given instead.
QString serverUrl(const QString& ip, qint64 port);

}  // namespace varnholt
