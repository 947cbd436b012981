#pragma once

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

// The app's warning dialog. Alerts name files and folders, which are anyone's
// bytes: every text in it is plain, so a name can never become a heading or
// a link.
namespace varnholt::AlertBox {

std::unique_ptr<QMessageBox> make(const QString& message, const QString& informative,
                                  QWidget* parent);

}  // namespace varnholt::AlertBox
