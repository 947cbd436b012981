#pragma once

#include <QList>
#include <QString>

#include "RowAction.h"
#include "scan/HostedPort.h"

class QWidget;

namespace varnholt {

class PanelActions;

// A CURRENTLY HOSTED row: port, name, NET or LOCAL, Copy URL and Stop, with
// its context menu and a tooltip of the server's details. actions may be
// null for a row that is only measured.
QWidget* makeHostedRow(const HostedPort& server, const QString& ip, PanelActions* actions);

// Whether the row offers Stop: a process of ours with a readable pid, or a
// container its engine named.
bool canStop(const HostedPort& server);

// What the row shows, as one comparable text: while it stays the same, the
// refresh keeps the row (and the pointer's hover on it) instead of rebuilding.
QString hostedRowKey(const HostedPort& server, const QString& ip);

// The server's links at the LAN address and on this machine, private path
// included.
QString lanUrl(const HostedPort& server, const QString& ip);
QString hostLocalUrl(const HostedPort& server);

// What "Open in Browser" opens: the LAN URL for a server the network can
// reach, the local one for a loopback-only server.
QString browserUrl(const HostedPort& server, const QString& ip);
// The details behind the row's name, one per line, as rich text so a long
// command line wraps.
QString hostedRowToolTip(const HostedPort& server, const QString& user,
                         const QString& workingFolder);
// The row's menu. Stop and Copy URL press the row's own buttons, so the menu
// and the buttons can never disagree.
QList<RowAction> hostedRowActions(const HostedPort& server, const QString& ip, QWidget* row);

}  // namespace varnholt
