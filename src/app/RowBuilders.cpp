#include "RowBuilders.h"

#include <algorithm>

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

#include "AppDelegate.h"
#include "ClosureButton.h"
#include "ElidedLabel.h"
#include "Style.h"
#include "quickhost/QuickHostRegistry.h"
#include "scan/DisplayText.h"
#include "scan/HostScanner.h"
#include "store/Store.h"
#include "store/TimeAgo.h"

namespace varnholt {

namespace {

const QChar kSep(0x1f);

QWidget* makeRowShell(QHBoxLayout** layoutOut) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    *layoutOut = layout;
    return row;
}

// Every title is a name from outside (a folder, a process, the stored log), so
// it is shown display-safe: one line, nothing that reorders or hides text.
ElidedLabel* makeTitleLabel(const QString& text, const QColor& color) {
    auto* label = new ElidedLabel(displaySafe(text), Qt::ElideRight);
    label->setFont(systemFont(12));
    label->setColor(color);
    label->setObjectName(QStringLiteral("titleLabel"));
    return label;
}

ClosureButton* addButton(QHBoxLayout* layout, const QString& title, qreal width,
                         ClosureButton::Handler handler) {
    auto* button = new ClosureButton(title, true, width, std::move(handler));
    layout->addWidget(button, 0, Qt::AlignVCenter);
    return button;
}

void finishRow(QHBoxLayout* layout) {
    layout->addSpacing(6);
}

}  // namespace

QString serverUrl(const QString& ip, qint64 port) {
    const QString host =
        ip == QLatin1String(HostScanner::kNotConnected) ? QStringLiteral("localhost") : ip;
    return QStringLiteral("http://") + host + QLatin1Char(':') + QString::number(port) +
           QLatin1Char('/');
}

QWidget* makeHostedRow(const HostedPort& server, const QString& ip) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);

    auto* port = makeLabel(QLatin1Char(':') + QString::number(server.port),
                           systemFont(12, QFont::Bold), Qt::white);
    // 44 fits every port in the macOS system font; where the platform's bold
    // digits run wider, a five-digit port would lose its last digit, so the
    // column grows for it instead of showing a wrong port.
    port->setFixedWidth(std::max(44, port->fontMetrics().horizontalAdvance(port->text()) + 1));
    port->setObjectName(QStringLiteral("portLabel"));
    layout->addWidget(port, 0, Qt::AlignVCenter);

    layout->addWidget(makeTitleLabel(server.friendlyName, grey(0.85)), 0, Qt::AlignVCenter);

    const QColor scopeColor = server.scope == QLatin1String("NET")
                                  ? QColor::fromRgbF(1.0f, 0.55f, 0.2f, 1.0f)
                                  : grey(0.5);
    auto* badge = makeLabel(server.scope, systemFont(9, QFont::Bold), scopeColor);
    badge->setFixedWidth(38);
    badge->setObjectName(QStringLiteral("scopeBadge"));
    layout->addWidget(badge, 0, Qt::AlignVCenter);

    layout->addStretch(1);

    addButton(layout, QStringLiteral("Copy URL"), 60,
              [ip, server] { QGuiApplication::clipboard()->setText(serverUrl(ip, server.port)); });
    ClosureButton* stop = addButton(layout, QStringLiteral("Stop"), 50, [server] {
        // A listing without a readable process id leaves nothing to signal;
        // logging "stopped" for it would claim a stop that never happened.
        if (server.pid <= 0) {
            return;
        }
        HostScanner::stop(server.pid);
        Store::logRecent(server.friendlyName, QStringLiteral("stopped"));
    });
    stop->setEnabled(server.pid > 0);
    finishRow(layout);
    return row;
}

QWidget* makeQuickHostRow(const QuickHostPackage& package, AppDelegate* appDelegate) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    const std::optional<QuickHostEntry> running = appDelegate->registry().info(package.path);

    layout->addWidget(makeTitleLabel(package.title, grey(0.85)), 0, Qt::AlignVCenter);
    auto* port = makeLabel(running ? QLatin1Char(':') + QString::number(running->port) : QString(),
                           systemFont(11), grey(0.55));
    port->setObjectName(QStringLiteral("portLabel"));
    layout->addWidget(port, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    const QString title = package.title;
    const QString path = package.path;
    QPointer<AppDelegate> delegate(appDelegate);
    if (running) {
        addButton(layout, QStringLiteral("Stop"), 50, [title, path, delegate] {
            if (!delegate) {
                return;
            }
            delegate->registry().stop(path);
            Store::logRecent(title, QStringLiteral("stopped"), path);
            delegate->refresh();
        });
    } else {
        addButton(layout, QStringLiteral("Start"), 50, [path, delegate] {
            if (!delegate) {
                return;
            }
            delegate->startPackage(path);
        });
    }
    addButton(layout, QStringLiteral("Remove"), 60, [title, path, delegate] {
        if (!delegate) {
            return;
        }
        if (delegate->registry().info(path)) {
            delegate->registry().stop(path);
            Store::logRecent(title, QStringLiteral("stopped"), path);
        }
        Store::insertPausedPath(path);
        delegate->refresh();
    });
    finishRow(layout);
    return row;
}

QWidget* makePausedRow(const QuickHostPackage& package, AppDelegate* appDelegate) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    layout->addWidget(makeTitleLabel(package.title, grey(0.6)), 0, Qt::AlignVCenter);
    layout->addStretch(1);

    const QString title = package.title;
    const QString path = package.path;
    QPointer<AppDelegate> delegate(appDelegate);
    addButton(layout, QStringLiteral("Start"), 50, [path, delegate] {
        if (!delegate) {
            return;
        }
        Store::removePausedPath(path);
        delegate->startPackage(path);
    });
    addButton(layout, QStringLiteral("Remove"), 60, [title, path, delegate] {
        if (!delegate) {
            return;
        }
        delegate->trashPackage(title, path);
    });
    finishRow(layout);
    return row;
}

QWidget* makeRecentRow(const Store::RecentEvent& event, AppDelegate* appDelegate) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    QPointer<AppDelegate> delegate(appDelegate);

    ClosureButton* dismiss = addButton(layout, QStringLiteral("\u2715"), 18, [event, delegate] {
        if (!delegate) {
            return;
        }
        Store::removeRecent(event);
        delegate->refresh();
    });
    dismiss->setBorderWidth(0);
    dismiss->setAccessibleName(QStringLiteral("Dismiss ") + displaySafe(event.title));
    dismiss->setTitleStyle(QColor::fromRgbF(1.0f, 0.35f, 0.35f, 1.0f), systemFont(12, QFont::Bold));
    dismiss->setGlyph(QStringLiteral("xmark"));

    layout->addWidget(
        makeTitleLabel(event.title + QStringLiteral(" \u00B7 ") + event.action, grey(0.6)), 0,
        Qt::AlignVCenter);
    auto* time = makeLabel(timeAgo(event.at), systemFont(11), grey(0.45));
    time->setObjectName(QStringLiteral("timeLabel"));
    time->setProperty("at", event.at);
    layout->addWidget(time, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    if (event.action == QLatin1String("stopped") && event.path) {
        const QString path = *event.path;
        addButton(layout, QStringLiteral("Restart"), 70, [path, delegate] {
            if (!delegate) {
                return;
            }
            delegate->startPackage(path);
        });
    }
    finishRow(layout);
    return row;
}

QString hostedRowKey(const HostedPort& server, const QString& ip) {
    return QStringList{QString::number(server.pid),  server.command,
                       QString::number(server.port), server.scope,
                       server.friendlyName,          ip,
                       server.fullCommand,           server.address,
                       server.servedFolder}
        .join(kSep);
}

QString quickHostRowKey(const QuickHostPackage& package,
                        const std::optional<QuickHostEntry>& running) {
    return QStringList{package.title, package.path,
                       running ? QString::number(running->pid) : QString(),
                       running ? QString::number(running->port) : QString()}
        .join(kSep);
}

QString pausedRowKey(const QuickHostPackage& package) {
    return QStringList{package.title, package.path}.join(kSep);
}

QString recentRowKey(const Store::RecentEvent& event) {
    return QStringList{event.title, event.action, QString::number(event.at, 'g', 17),
                       event.path ? QStringLiteral("1") + *event.path : QStringLiteral("0")}
        .join(kSep);
}

void updateRecentRowTime(QWidget* row) {
    auto* time = row->findChild<QLabel*>(QStringLiteral("timeLabel"));
    if (!time) {
        return;
    }
    const QString text = timeAgo(time->property("at").toDouble());
    if (time->text() != text) {
        time->setText(text);
    }
}

}  // namespace varnholt
