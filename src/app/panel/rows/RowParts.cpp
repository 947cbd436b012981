#include "RowParts.h"

#include <QHBoxLayout>
#include <QWidget>

#include "app/controls/ElidedLabel.h"
#include "app/controls/SharePopup.h"
#include "app/controls/Style.h"
#include "scan/DisplayText.h"

namespace varnholt {

QWidget* makeRowShell(QHBoxLayout** layoutOut) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    *layoutOut = layout;
    return row;
}

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

SharePopup* showQrCode(const QString& url, QWidget* anchor) {
    auto* popup = new SharePopup(url, anchor->window());
    // Shaped like the panel it comes from: a panel whose corners are cut by a
    // mask has no compositor to blend the popup's corners either.
    popup->setComposited(anchor->window()->mask().isEmpty());
    popup->showUnder(anchor);
    return popup;
}

}  // namespace varnholt
