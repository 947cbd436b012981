#include "QuickHostRow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QUrl>

#include "PanelActions.h"
#include "RowMenu.h"
#include "RowParts.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/Style.h"
#include "app/desktop/UrlOpener.h"

namespace varnholt {

namespace {

const QChar kSep(0x1f);

void attachMenu(QWidget* row, const QuickHostPackage& package,
                const std::optional<QuickHostEntry>& running, const QString& ip) {
    RowMenu::attach(row, [row, package, running, ip] {
        return quickHostRowActions(package, running, ip, row);
    });
    row->setAccessibleName(running ? package.title + QStringLiteral(", port ") +
                                         QString::number(running->port)
                                   : package.title);
}

}  // namespace

QWidget* makeQuickHostRow(const QuickHostPackage& package,
                          const std::optional<QuickHostEntry>& running, const QString& ip,
                          PanelActions* actions) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    layout->addWidget(makeTitleLabel(package.title, grey(0.85)), 0, Qt::AlignVCenter);
    auto* port = makeLabel(running ? QLatin1Char(':') + QString::number(running->port) : QString(),
                           systemFont(11), grey(0.55));
    port->setObjectName(QStringLiteral("portLabel"));
    layout->addWidget(port, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    const QString title = package.title;
    const QString path = package.path;
    if (running) {
        addButton(layout, QStringLiteral("Stop"), 50, [title, path, actions] {
            if (actions) {
                actions->stopPackage(title, path);
            }
        });
    } else {
        addButton(layout, QStringLiteral("Start"), 50, [path, actions] {
            if (actions) {
                actions->startPackage(path);
            }
        });
    }
    addButton(layout, QStringLiteral("Remove"), 60, [title, path, actions] {
        if (actions) {
            actions->pausePackage(title, path);
        }
    });
    finishRow(layout);
    attachMenu(row, package, running, ip);
    return row;
}

QString quickHostRowKey(const QuickHostPackage& package,
                        const std::optional<QuickHostEntry>& running, const QString& ip) {
    // The menu opens the server at the LAN address, so a new address rebuilds
    // the row.
    return QStringList{package.title, package.path,
                       running ? QString::number(running->pid) : QString(),
                       running ? QString::number(running->port) : QString(), ip}
        .join(kSep);
}

QList<RowAction> quickHostRowActions(const QuickHostPackage& package,
                                     const std::optional<QuickHostEntry>& running,
                                     const QString& ip, QWidget* row) {
    QList<RowAction> actions;
    if (running) {
        // Quick-host servers listen on every interface.
        const QString url = serverUrl(ip, running->port);
        actions.append(
            {QStringLiteral("Open in Browser"), true, [url] { UrlOpener::open(QUrl(url)); }});
        actions.append({QStringLiteral("Show QR Code"), isConnected(ip),
                        [url, anchor = QPointer<QWidget>(row)] {
                            if (anchor) {
                                showQrCode(url, anchor);
                            }
                        }});
    }
    actions.append({QStringLiteral("Open Package Folder"), QFileInfo(package.path).isDir(),
                    [folder = package.path] { UrlOpener::open(QUrl::fromLocalFile(folder)); },
                    running.has_value()});
    return actions;
}

}  // namespace varnholt
