#include "RecentRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStringList>
#include <QWidget>

#include "PanelActions.h"
#include "RowParts.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/Style.h"
#include "scan/DisplayText.h"
#include "store/TimeAgo.h"

namespace varnholt {

namespace {

void addDismissButton(QHBoxLayout* layout, const Store::RecentEvent& event, PanelActions* actions) {
    ClosureButton* dismiss = addButton(layout, QStringLiteral("\u2715"), 18, [event, actions] {
        if (actions) {
            actions->dismissRecent(event);
        }
    });
    dismiss->setBorderWidth(0);
    dismiss->setAccessibleName(QStringLiteral("Dismiss ") + displaySafe(event.title));
    dismiss->setTitleStyle(QColor::fromRgbF(1.0f, 0.35f, 0.35f, 1.0f), systemFont(12, QFont::Bold));
    dismiss->setGlyph(QStringLiteral("xmark"));
}

}  // namespace

QWidget* makeRecentRow(const Store::RecentEvent& event, PanelActions* actions) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    addDismissButton(layout, event, actions);

    layout->addWidget(
        makeTitleLabel(event.title + QStringLiteral(" \u00B7 ") + event.action, grey(0.6)), 0,
        Qt::AlignVCenter);
    auto* time = makeLabel(timeAgo(event.at), systemFont(11), grey(0.45));
    time->setObjectName(QStringLiteral("timeLabel"));
    time->setProperty("at", event.at);
    layout->addWidget(time, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    if (event.action == QLatin1String("stopped") && event.path) {
        addButton(layout, QStringLiteral("Restart"), 70, [path = *event.path, actions] {
            if (actions) {
                actions->startPackage(path);
            }
        });
    }
    finishRow(layout);
    return row;
}

QString recentRowKey(const Store::RecentEvent& event) {
    return QStringList{event.title, event.action, QString::number(event.at, 'g', 17),
                       event.path ? QStringLiteral("1") + *event.path : QStringLiteral("0")}
        .join(QChar(0x1f));
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
