#include "PausedRow.h"

#include <QHBoxLayout>
#include <QStringList>
#include <QWidget>

#include "PanelActions.h"
#include "RowParts.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/Style.h"

namespace varnholt {

QWidget* makePausedRow(const QuickHostPackage& package, PanelActions* actions) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    layout->addWidget(makeTitleLabel(package.title, grey(0.6)), 0, Qt::AlignVCenter);
    layout->addStretch(1);

    const QString title = package.title;
    const QString path = package.path;
    addButton(layout, QStringLiteral("Start"), 50, [path, actions] {
        if (actions) {
            actions->resumePackage(path);
        }
    });
    addButton(layout, QStringLiteral("Remove"), 60, [title, path, actions] {
        if (actions) {
            actions->trashPackage(title, path);
        }
    });
    finishRow(layout);
    return row;
}

QString pausedRowKey(const QuickHostPackage& package) {
    return QStringList{package.title, package.path}.join(QChar(0x1f));
}

}  // namespace varnholt
