#include "RowActions.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QUrl>

#include "ClosureButton.h"
#include "RowBuilders.h"
#include "RowMenu.h"
#include "SharePopup.h"
#include "UrlOpener.h"
#include "scan/DisplayText.h"
#include "scan/HostScanner.h"
#include "scan/ProcessDetails.h"

namespace varnholt {

namespace {

bool connected(const QString& ip) {
    return ip != QLatin1String(HostScanner::kNotConnected);
}

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

std::function<void()> openUrl(const QString& url) {
    return [url] { UrlOpener::open(QUrl(url)); };
}

std::function<void()> openFolder(const QString& folder) {
    return [folder] { UrlOpener::open(QUrl::fromLocalFile(folder)); };
}

std::function<void()> qrCode(const QString& url, QWidget* row) {
    return [url, row = QPointer<QWidget>(row)] {
        if (row) {
            showQrCode(url, row);
        }
    };
}

QString line(const QString& label, const QString& value) {
    // Command lines and folders are anyone's bytes: display-safe, like titles.
    const QString shown = value.isEmpty() ? QStringLiteral("unknown") : displaySafe(value);
    return QStringLiteral("<b>") + label + QStringLiteral(":</b> ") + shown.toHtmlEscaped();
}

}  // namespace

QString localUrl(qint64 port) {
    return QStringLiteral("http://localhost:") + QString::number(port) + QLatin1Char('/');
}

QString browserUrl(const HostedPort& server, const QString& ip) {
    return server.scope == QLatin1String("NET") ? serverUrl(ip, server.port)
                                                : localUrl(server.port);
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
    const QString url = serverUrl(ip, server.port);
    // A phone can only use a code for a server the network reaches, at an
    // address this machine actually has.
    const bool shareable = server.scope == QLatin1String("NET") && connected(ip);
    const bool folderKnown =
        !server.servedFolder.isEmpty() && QFileInfo(server.servedFolder).isDir();
    return {
        {QStringLiteral("Open in Browser"), true, openUrl(browserUrl(server, ip))},
        {QStringLiteral("Copy URL"), true, pressButton(row, QStringLiteral("Copy URL")), true},
        {QStringLiteral("Copy Local URL"), true,
         [local = localUrl(server.port)] { QGuiApplication::clipboard()->setText(local); }},
        {QStringLiteral("Show QR Code"), shareable, qrCode(url, row)},
        {QStringLiteral("Copy Command Line"), !server.fullCommand.isEmpty(),
         [command = server.fullCommand] { QGuiApplication::clipboard()->setText(command); }},
        {QStringLiteral("Open Served Folder"), folderKnown, openFolder(server.servedFolder), true},
        {QStringLiteral("Stop"), hasEnabledButton(row, QStringLiteral("Stop")),
         pressButton(row, QStringLiteral("Stop")), true},
    };
}

QList<RowAction> quickHostRowActions(const QuickHostPackage& package,
                                     const std::optional<QuickHostEntry>& running,
                                     const QString& ip, QWidget* row) {
    QList<RowAction> actions;
    if (running) {
        // Quick-host servers listen on every interface.
        const QString url = serverUrl(ip, running->port);
        actions.append({QStringLiteral("Open in Browser"), true, openUrl(url)});
        actions.append({QStringLiteral("Show QR Code"), connected(ip), qrCode(url, row)});
    }
    actions.append({QStringLiteral("Open Package Folder"), QFileInfo(package.path).isDir(),
                    openFolder(package.path), running.has_value()});
    return actions;
}

void addHostedRowActions(QWidget* row, const HostedPort& server, const QString& ip) {
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

void addQuickHostRowActions(QWidget* row, const QuickHostPackage& package,
                            const std::optional<QuickHostEntry>& running, const QString& ip) {
    RowMenu::attach(row, [row, package, running, ip] {
        return quickHostRowActions(package, running, ip, row);
    });
    row->setAccessibleName(running ? package.title + QStringLiteral(", port ") +
                                         QString::number(running->port)
                                   : package.title);
}

SharePopup* showQrCode(const QString& url, QWidget* anchor) {
    auto* popup = new SharePopup(url, anchor->window());
    popup->showUnder(anchor);
    return popup;
}

}  // namespace varnholt
