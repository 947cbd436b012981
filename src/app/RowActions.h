#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "quickhost/QuickHostEntry.h"
#include "quickhost/QuickHostPackage.h"
#include "scan/HostedPort.h"

class QWidget;

namespace varnholt {

class SharePopup;

// One command of a row's context menu.
struct RowAction {
    QString title;
    bool enabled = true;
    std::function<void()> run;
    bool separatorBefore = false;
};

// "http://localhost:PORT/": what reaches a server from this machine whatever
// it listens on.
QString localUrl(qint64 port);
// What "Open in Browser" opens: the LAN URL for a server the network can
// reach, the local one for a loopback-only server.
QString browserUrl(const HostedPort& server, const QString& ip);
// The details behind a hosted row's name, one per line, as rich text so a long
// command line wraps.
QString hostedRowToolTip(const HostedPort& server, const QString& user,
                         const QString& workingFolder);

// The commands of a CURRENTLY HOSTED row. Stop and Copy URL press the row's
// own buttons, so the menu and the buttons can never disagree.
QList<RowAction> hostedRowActions(const HostedPort& server, const QString& ip, QWidget* row);
// The commands of a QUICK HOST row; the server's only while it runs.
QList<RowAction> quickHostRowActions(const QuickHostPackage& package,
                                     const std::optional<QuickHostEntry>& running,
                                     const QString& ip, QWidget* row);

// Gives a built row its context menu (and a hosted row its tooltip).
void addHostedRowActions(QWidget* row, const HostedPort& server, const QString& ip);
void addQuickHostRowActions(QWidget* row, const QuickHostPackage& package,
                            const std::optional<QuickHostEntry>& running, const QString& ip);

// The QR popup for url, under the anchor; it belongs to the anchor's window so
// a refresh that replaces the row leaves it open.
SharePopup* showQrCode(const QString& url, QWidget* anchor);

}  // namespace varnholt
