#include <QHBoxLayout>
#include <QWidget>

#include "Indented.h"

namespace varnholt {

QWidget* indented(QWidget* view) {
    auto* wrapper = new QWidget;
    auto* layout = new QHBoxLayout(wrapper);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* inset = new QWidget;
    inset->setObjectName(QStringLiteral("indent"));
    inset->setFixedWidth(22);
    layout->addWidget(inset, 0, Qt::AlignTop);
    layout->addWidget(view, 1, Qt::AlignTop);
    return wrapper;
}

}  // namespace varnholt
