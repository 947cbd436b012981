#pragma once

#include <QList>
#include <QString>

#include "RowSync.h"

class QLabel;
class QObject;
class QWidget;

namespace varnholt {

class FlippedStackView;
class SectionHeader;

// One of the panel's four sections: its collapsible header row (with an
// optional trailing button), the stack of rows indented under it, and an
// optional text that stands in for an empty list.
class PanelSection {
public:
    // owner holds the header; id names the stored collapse flag.
    PanelSection(const QString& title, const QString& id, QWidget* trailing,
                 const QString& emptyText, QObject* owner);

    const QString& id() const { return m_id; }
    SectionHeader* header() const { return m_header; }
    QWidget* headerRow() const { return m_headerRow; }
    FlippedStackView* stack() const { return m_stack; }
    QWidget* listRow() const { return m_listRow; }
    QLabel* emptyLabel() const { return m_emptyLabel; }
    QWidget* emptyRow() const { return m_emptyRow; }

    // Hides the rows (and the empty text) while collapsed; the empty text
    // shows only when there are no rows.
    void show(bool collapsed, bool empty);
    // See syncRows(); true when the stack changed.
    bool sync(const QList<RowPlan>& plans, Qt::Alignment alignment = {});

private:
    QString m_id;
    SectionHeader* m_header = nullptr;
    QWidget* m_headerRow = nullptr;
    FlippedStackView* m_stack = nullptr;
    QWidget* m_listRow = nullptr;
    QLabel* m_emptyLabel = nullptr;
    QWidget* m_emptyRow = nullptr;
};

}  // namespace varnholt
