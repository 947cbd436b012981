#include "RowSync.h"

#include <QLayout>
#include <QMultiHash>
#include <QVBoxLayout>

#include "app/controls/FlippedStackView.h"

namespace varnholt {

namespace {

const char kRowKey[] = "rowKey";

}  // namespace

bool syncRows(FlippedStackView* stack, const QList<RowPlan>& plans, Qt::Alignment alignment) {
    const QList<QWidget*> current = stack->arrangedSubviews();
    bool unchanged = current.size() == plans.size();
    for (qsizetype i = 0; unchanged && i < plans.size(); ++i) {
        unchanged = current[i]->property(kRowKey).toString() == plans[i].key;
    }
    if (unchanged) {
        return false;
    }
    QMultiHash<QString, QWidget*> spare;
    for (QWidget* row : current) {
        spare.insert(row->property(kRowKey).toString(), row);
    }
    QList<QWidget*> next;
    QList<QWidget*> built;
    next.reserve(plans.size());
    for (const RowPlan& plan : plans) {
        const auto found = spare.find(plan.key);
        if (found != spare.end()) {
            next.append(found.value());
            spare.erase(found);
        } else {
            QWidget* row = plan.build();
            row->setProperty(kRowKey, plan.key);
            next.append(row);
            built.append(row);
        }
    }
    // A row shown into a laid-out view lays out that view and every view
    // around it once more, so rows shown one by one cost a pass each over the
    // whole panel. With the stack's layout off, all new rows show first and
    // layOutOnce() lays the panel out after every stack is done.
    QVBoxLayout* layout = stack->stackLayout();
    layout->setEnabled(false);
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item;
    }
    for (QWidget* row : next) {
        layout->addWidget(row, 0, alignment);
    }
    for (QWidget* row : std::as_const(built)) {
        // Only rows in a shown stack are still hidden here; the others show
        // with their stack.
        if (row->isHidden()) {
            row->show();
        }
    }
    for (QWidget* row : std::as_const(spare)) {
        row->hide();
        row->deleteLater();
    }
    layout->setEnabled(true);
    return true;
}

void layOutOnce(QList<QWidget*> level) {
    while (!level.isEmpty()) {
        QList<QWidget*> parents;
        for (QWidget* view : std::as_const(level)) {
            if (!view->isVisible() || !view->layout()) {
                continue;
            }
            view->layout()->activate();
            QWidget* parent = view->isWindow() ? nullptr : view->parentWidget();
            if (parent && !parents.contains(parent)) {
                parents.append(parent);
            }
        }
        level = parents;
    }
}

}  // namespace varnholt
