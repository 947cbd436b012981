#pragma once

#include <QColor>
#include <QString>

#include <optional>

#include "app/controls/ClosureButton.h"
#include "scan/ServerUrl.h"

class QHBoxLayout;
class QWidget;

namespace varnholt {

class ElidedLabel;
class SharePopup;

// The pieces every row is made of: a bare horizontal row, its title, its
// buttons and the gap after the last one.
QWidget* makeRowShell(QHBoxLayout** layoutOut);
// Titles are names from outside (a folder, a process, the stored log), so
// they are shown display-safe: one line, nothing that reorders or hides text.
ElidedLabel* makeTitleLabel(const QString& text, const QColor& color);
ClosureButton* addButton(QHBoxLayout* layout, const QString& title, qreal width,
                         ClosureButton::Handler handler);
void finishRow(QHBoxLayout* layout);

// The QR popup for url, under the anchor; it belongs to the anchor's window so
// a refresh that replaces the row leaves it open.
SharePopup* showQrCode(const QString& url, QWidget* anchor);

}  // namespace varnholt
