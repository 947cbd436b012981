#include "PanelSection.h"

#include <QHBoxLayout>
#include <QLabel>

#include "app/controls/FlippedStackView.h"
#include "app/controls/Indented.h"
#include "app/controls/SectionHeader.h"
#include "app/controls/Style.h"
#include "store/Store.h"

namespace varnholt {

PanelSection::PanelSection(const QString& title, const QString& id, QWidget* trailing,
                           const QString& emptyText, QObject* owner)
    : m_id(id) {
    m_header = new SectionHeader(title, !Store::collapsed(id), owner);

    m_headerRow = new QWidget;
    auto* headerLayout = new QHBoxLayout(m_headerRow);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(8);
    headerLayout->addWidget(m_header->row(), 0, Qt::AlignVCenter);
    headerLayout->addStretch(1);
    if (trailing) {
        headerLayout->addWidget(trailing, 0, Qt::AlignVCenter);
        headerLayout->addSpacing(6);
    }

    m_stack = new FlippedStackView(6);
    m_listRow = indented(m_stack);
    if (!emptyText.isEmpty()) {
        m_emptyLabel = makeLabel(emptyText, systemFont(12), grey(0.5));
        m_emptyRow = indented(m_emptyLabel);
    }
}

void PanelSection::show(bool collapsed, bool empty) {
    m_listRow->setHidden(collapsed);
    if (m_emptyRow) {
        m_emptyRow->setHidden(collapsed || !empty);
    }
}

bool PanelSection::sync(const QList<RowPlan>& plans, Qt::Alignment alignment) {
    return syncRows(m_stack, plans, alignment);
}

}  // namespace varnholt
