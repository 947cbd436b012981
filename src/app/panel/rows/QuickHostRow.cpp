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
                const std::optional<QuickHostEntry>& running, const QString& ip,
                PanelActions* actions) {
    RowMenu::attach(row, [row, package, running, ip, actions] {
        return quickHostRowActions(package, running, ip, row, actions);
    });
    row->setAccessibleName(running ? package.title + QStringLiteral(", port ") +
                                         QString::number(running->port)
                                   : package.title);
}

// Each choice serves the package anew: the server learns its link and
// whether it takes uploads only when it starts.
QList<RowAction> sharingActions(const QString& path, const QuickHostEntry& running,
                                PanelActions* actions) {
    const bool isPrivate = running.isPrivate();
    RowAction link{QStringLiteral("Private Link"), true,
                   [path, isPrivate, actions] {
                       actions->reshare(path, {!isPrivate, false});
                   },
                   true};
    link.checkable = true;
    link.checked = isPrivate;
    const bool uploads = running.uploads;
    RowAction fresh{QStringLiteral("New Link"), isPrivate, [path, uploads, actions] {
                        actions->reshare(path, {true, uploads, true});
                    }};
    RowAction take{QStringLiteral("Allow Uploads"), isPrivate, [path, uploads, actions] {
                       actions->reshare(path, {true, !uploads});
                   }};
    take.checkable = true;
    take.checked = uploads;
    return {link, fresh, take};
}

}  // namespace

QWidget* makeQuickHostRow(const QuickHostPackage& package,
                          const std::optional<QuickHostEntry>& running, const QString& ip,
                          PanelActions* actions) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    layout->addWidget(makeTitleLabel(package.title, grey(0.85)), 0, Qt::AlignVCenter);
    auto* port = makeLabel(quickHostPortText(running), systemFont(11), grey(0.55));
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
    attachMenu(row, package, running, ip, actions);
    return row;
}

QString quickHostRowKey(const QuickHostPackage& package,
                        const std::optional<QuickHostEntry>& running, const QString& ip) {
    // The menu opens the server at the LAN address, so a new address rebuilds
    // the row.
    return QStringList{package.title,
                       package.path,
                       running ? QString::number(running->pid) : QString(),
                       quickHostPortText(running),
                       ip,
                       running ? running->linkPath() : QString(),
                       running && running->uploads ? QStringLiteral("uploads") : QString()}
        .join(kSep);
}

QString quickHostPortText(const std::optional<QuickHostEntry>& running) {
    if (!running) {
        return {};
    }
    QString text = QLatin1Char(':') + QString::number(running->port);
    if (running->received > 0) {
        text += QStringLiteral(" \u00B7 %1 received").arg(running->received);
    }
    return text;
}

QList<RowAction> quickHostRowActions(const QuickHostPackage& package,
                                     const std::optional<QuickHostEntry>& running,
                                     const QString& ip, QWidget* row, PanelActions* actions) {
    QList<RowAction> items;
    if (running) {
        // Quick-host servers listen on every interface; a private one only
        // answers under its link.
        const QString url = serverUrl(ip, running->port) + running->linkPath();
        items.append(
            {QStringLiteral("Open in Browser"), true, [url] { UrlOpener::open(QUrl(url)); }});
        items.append({QStringLiteral("Show QR Code"), isConnected(ip),
                      [url, anchor = QPointer<QWidget>(row)] {
                          if (anchor) {
                              showQrCode(url, anchor);
                          }
                      }});
    }
    if (running && actions) {
        items.append(sharingActions(package.path, *running, actions));
    }
    items.append({QStringLiteral("Open Package Folder"), QFileInfo(package.path).isDir(),
                  [folder = package.path] { UrlOpener::open(QUrl::fromLocalFile(folder)); },
                  running.has_value()});
    return items;
}

}  // namespace varnholt
