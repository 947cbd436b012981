#include "HostedRow.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QUrl>

#include <algorithm>

#include "PanelActions.h"
#include "RowMenu.h"
#include "RowParts.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/Style.h"
#include "app/desktop/UrlOpener.h"
#include "scan/DisplayText.h"
#include "scan/ProcessDetails.h"

namespace varnholt {

namespace {

const QChar kSep(0x1f);

// Presses the row's own button of that title, if the row and the button are
// still there and the button may be pressed.
std::function<void()> pressButton(QWidget* row, const QString& title) {
    return [row = QPointer<QWidget>(row), title] {
        if (!row) {
            return;
        }
        for (ClosureButton* button : row->findChildren<ClosureButton*>()) {
            if (button->text() == title && button->isEnabled()) {
                button->click();
                return;
            }
        }
    };
}

bool hasEnabledButton(QWidget* row, const QString& title) {
    for (ClosureButton* button : row->findChildren<ClosureButton*>()) {
        if (button->text() == title) {
            return button->isEnabled();
        }
    }
    return false;
}

QString line(const QString& label, const QString& value) {
    // Command lines and folders are anyone's bytes: display-safe, like titles.
    const QString shown = value.isEmpty() ? QStringLiteral("unknown") : displaySafe(value);
    return QStringLiteral("<b>") + label + QStringLiteral(":</b> ") + shown.toHtmlEscaped();
}

QLabel* makePortLabel(qint64 value) {
    auto* port = makeLabel(QLatin1Char(':') + QString::number(value), systemFont(12, QFont::Bold),
                           Qt::white);
    // 44 fits every port in the macOS system font; where the platform's bold
    // digits run wider, a five-digit port would lose its last digit, so the
    // column grows for it instead of showing a wrong port.
    port->setFixedWidth(std::max(44, port->fontMetrics().horizontalAdvance(port->text()) + 1));
    port->setObjectName(QStringLiteral("portLabel"));
    return port;
}

QLabel* makeScopeBadge(const QString& scope) {
    const QColor color =
        scope == QLatin1String("NET") ? QColor::fromRgbF(1.0f, 0.55f, 0.2f, 1.0f) : grey(0.5);
    auto* badge = makeLabel(scope, systemFont(9, QFont::Bold), color);
    badge->setFixedWidth(38);
    badge->setObjectName(QStringLiteral("scopeBadge"));
    return badge;
}

void attachMenu(QWidget* row, const HostedPort& server, const QString& ip) {
    RowMenu::attach(
        row, [row, server, ip] { return hostedRowActions(server, ip, row); },
        [server] {
            // Asked only when the pointer rests on the row: the refresh never
            // pays for these lookups.
            return hostedRowToolTip(server, ProcessDetails::user(server.pid),
                                    ProcessDetails::workingDirectory(server.pid));
        });
    row->setAccessibleName(server.friendlyName + QStringLiteral(", port ") +
                           QString::number(server.port) + QStringLiteral(", ") + server.scope);
}

}  // namespace

bool canStop(const HostedPort& server) {
    switch (server.kind) {
        case HostedPort::Kind::Process:
            return server.pid > 0;
        case HostedPort::Kind::Container:
            // Only its engine stops a container; its forwarder is not ours.
            return !server.engine.isEmpty() && !server.containerId.isEmpty();
        case HostedPort::Kind::OtherUser:
            break;
    }
    return false;
}

QWidget* makeHostedRow(const HostedPort& server, const QString& ip, PanelActions* actions) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    layout->addWidget(makePortLabel(server.port), 0, Qt::AlignVCenter);
    layout->addWidget(makeTitleLabel(server.friendlyName, grey(0.85)), 0, Qt::AlignVCenter);
    layout->addWidget(makeScopeBadge(server.scope), 0, Qt::AlignVCenter);
    layout->addStretch(1);

    addButton(layout, QStringLiteral("Copy URL"), 60,
              [ip, server] { QGuiApplication::clipboard()->setText(lanUrl(server, ip)); });
    ClosureButton* stop = addButton(layout, QStringLiteral("Stop"), 50, [server, actions] {
        // A listing without a readable process id leaves nothing to signal;
        // logging "stopped" for it would claim a stop that never happened.
        if (canStop(server) && actions) {
            actions->stopServer(server);
        }
    });
    stop->setEnabled(canStop(server));
    finishRow(layout);
    attachMenu(row, server, ip);
    return row;
}

QString hostedRowKey(const HostedPort& server, const QString& ip) {
    return QStringList{QString::number(server.pid),
                       server.command,
                       QString::number(server.port),
                       server.scope,
                       server.friendlyName,
                       ip,
                       server.fullCommand,
                       server.address,
                       server.servedFolder,
                       QString::number(int(server.kind)),
                       server.engine,
                       server.containerId,
                       server.linkPath}
        .join(kSep);
}

QString lanUrl(const HostedPort& server, const QString& ip) {
    return serverUrl(ip, server.port) + server.linkPath;
}

QString hostLocalUrl(const HostedPort& server) {
    return localUrl(server.port) + server.linkPath;
}

QString browserUrl(const HostedPort& server, const QString& ip) {
    return server.scope == QLatin1String("NET") ? lanUrl(server, ip) : hostLocalUrl(server);
}

QString hostedRowToolTip(const HostedPort& server, const QString& user,
                         const QString& workingFolder) {
    QString listen;
    if (!server.address.isEmpty()) {
        listen = server.address + QLatin1Char(':') + QString::number(server.port);
        if (server.address == QLatin1String("*")) {
            listen += QStringLiteral(" (all interfaces)");
        }
    }
    const QStringList lines = {
        line(QStringLiteral("Command"), server.fullCommand),
        line(QStringLiteral("Working folder"), workingFolder),
        line(QStringLiteral("PID"), server.pid > 0 ? QString::number(server.pid) : QString()),
        line(QStringLiteral("User"), user),
        line(QStringLiteral("Listening on"), listen),
    };
    return QStringLiteral("<qt>") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</qt>");
}

QList<RowAction> hostedRowActions(const HostedPort& server, const QString& ip, QWidget* row) {
    const QString url = lanUrl(server, ip);
    // A phone can only use a code for a server the network reaches, at an
    // address this machine actually has.
    const bool shareable = server.scope == QLatin1String("NET") && isConnected(ip);
    const bool folderKnown =
        !server.servedFolder.isEmpty() && QFileInfo(server.servedFolder).isDir();
    const QPointer<QWidget> anchor(row);
    return {
        {QStringLiteral("Open in Browser"), true,
         [open = browserUrl(server, ip)] { UrlOpener::open(QUrl(open)); }},
        {QStringLiteral("Copy URL"), true, pressButton(row, QStringLiteral("Copy URL")), true},
        {QStringLiteral("Copy Local URL"), true,
         [local = hostLocalUrl(server)] { QGuiApplication::clipboard()->setText(local); }},
        {QStringLiteral("Show QR Code"), shareable,
         [url, anchor] {
             if (anchor) {
                 showQrCode(url, anchor);
             }
         }},
        {QStringLiteral("Copy Command Line"), !server.fullCommand.isEmpty(),
         [command = server.fullCommand] { QGuiApplication::clipboard()->setText(command); }},
        {QStringLiteral("Open Served Folder"), folderKnown,
         [folder = server.servedFolder] { UrlOpener::open(QUrl::fromLocalFile(folder)); }, true},
        {QStringLiteral("Stop"), hasEnabledButton(row, QStringLiteral("Stop")),
         pressButton(row, QStringLiteral("Stop")), true},
    };
}

}  // namespace varnholt
