#pragma once

#include <QList>

class QAbstractButton;
class QKeyEvent;
class QWidget;

namespace varnholt {

// The widgets of a window that Tab visits, in reading order: every shown,
// enabled widget that takes Tab focus, line by line from the top (widgets
// whose centres lie within a few pixels share a line), left to right on a
// line. Widgets scrolled out of view still count: Tab scrolls to them.
QList<QWidget*> focusOrder(const QWidget* window);

// Space is a button's own key; Enter fires the panel's buttons too, as on a
// dialog's buttons. True when the event was Enter and the button was clicked.
bool clickOnEnter(QAbstractButton* button, QKeyEvent* event);

}  // namespace varnholt
