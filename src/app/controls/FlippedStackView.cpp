#include "FlippedStackView.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace varnholt {

FlippedStackView::FlippedStackView(int spacing, const QMargins& margins, QWidget* parent)
    : QWidget(parent), m_layout(new QVBoxLayout(this)) {
    m_layout->setSpacing(spacing);
    m_layout->setContentsMargins(margins);
    m_layout->setAlignment(Qt::AlignTop);
}

void FlippedStackView::addArrangedSubview(QWidget* view, Qt::Alignment alignment) {
    m_layout->addWidget(view, 0, alignment);
}

QList<QWidget*> FlippedStackView::arrangedSubviews() const {
    QList<QWidget*> views;
    views.reserve(m_layout->count());
    for (int i = 0; i < m_layout->count(); ++i) {
        if (QWidget* widget = m_layout->itemAt(i)->widget()) {
            views.append(widget);
        }
    }
    return views;
}

}  // namespace varnholt
