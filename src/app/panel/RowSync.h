#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

namespace varnholt {

class FlippedStackView;

// One row a section should show: the key says which data it was built from,
// so a row whose data did not change is kept instead of rebuilt.
struct RowPlan {
    QString key;
    std::function<QWidget*()> build;
};

// Puts the rows for plans into the stack in order, keeping every existing row
// whose data is unchanged. Rows that go are hidden and deleted later: one of
// them may hold the button whose handler is running right now. True when the
// stack changed; its layout is then left for layOutOnce().
bool syncRows(FlippedStackView* stack, const QList<RowPlan>& plans, Qt::Alignment alignment);

// What showing each new row would have done, once for all of them: lays out
// the changed stacks, then the views that hold them, level by level, so the
// shared document view is laid out a single time.
void layOutOnce(QList<QWidget*> level);

}  // namespace varnholt
