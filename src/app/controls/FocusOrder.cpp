#include "FocusOrder.h"

#include <QAbstractButton>
#include <QKeyEvent>

#include <QWidget>

#include <algorithm>

namespace varnholt {

namespace {
// Buttons of different heights centred on one row differ by a pixel or two.
constexpr int kLineTolerance = 6;
}  // namespace

QList<QWidget*> focusOrder(const QWidget* window) {
    struct Stop {
        QWidget* widget;
        QPoint centre;
    };
    QList<Stop> stops;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->window() != window || !(widget->focusPolicy() & Qt::TabFocus) ||
            !widget->isEnabled() || !widget->isVisibleTo(window)) {
            continue;
        }
        stops.append({widget, widget->mapTo(window, widget->rect().center())});
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const Stop& a, const Stop& b) { return a.centre.y() < b.centre.y(); });
    // Gather lines top-down, then order each line from the left.
    QList<QWidget*> order;
    for (qsizetype start = 0; start < stops.size();) {
        qsizetype end = start + 1;
        while (end < stops.size() &&
               stops[end].centre.y() - stops[start].centre.y() <= kLineTolerance) {
            ++end;
        }
        std::stable_sort(stops.begin() + start, stops.begin() + end,
                         [](const Stop& a, const Stop& b) { return a.centre.x() < b.centre.x(); });
        for (qsizetype i = start; i < end; ++i) {
            order.append(stops[i].widget);
        }
        start = end;
    }
    return order;
}

bool clickOnEnter(QAbstractButton* button, QKeyEvent* event) {
    if ((event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) ||
        event->isAutoRepeat()) {
        return false;
    }
    event->accept();
    button->click();
    return true;
}

}  // namespace varnholt
