#include "PickRow.h"

#include <QHBoxLayout>
#include <QStringList>
#include <QWidget>

#include "PanelActions.h"
#include "RowParts.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/Style.h"

namespace varnholt {

QWidget* makePickRow(const PickProgress& pick, PanelActions* actions) {
    QHBoxLayout* layout = nullptr;
    QWidget* row = makeRowShell(&layout);
    row->setObjectName(QStringLiteral("pickRow"));
    layout->addWidget(makeTitleLabel(pick.text, grey(0.75)), 1, Qt::AlignVCenter);
    addButton(layout, QStringLiteral("Cancel"), 60, [path = pick.pickedPath, actions] {
        if (actions) {
            actions->cancelPick(path);
        }
    });
    finishRow(layout);
    return row;
}

QString pickRowKey(const PickProgress& pick) {
    return QStringList{QStringLiteral("pick"), pick.pickedPath, pick.text}.join(QChar(0x1f));
}

}  // namespace varnholt
