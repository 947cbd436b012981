#include "AlertBox.h"

#include <QLabel>
#include <QMessageBox>

namespace varnholt::AlertBox {

std::unique_ptr<QMessageBox> make(const QString& message, const QString& informative,
                                  QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Warning, QStringLiteral("Varnholt Control"), message, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(informative);
    // The informative text has no format of its own: its label would guess.
    for (QLabel* label : box->findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
    }
    return box;
}

}  // namespace varnholt::AlertBox
