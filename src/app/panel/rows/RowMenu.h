#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

#include "RowAction.h"

#include <QMenu>

class QWidget;

namespace varnholt {

// A row's context menu: opened by a right-click anywhere on the row, or by
// the menu key or Shift+F10 while the row (or one of its buttons) has the
// keyboard focus. The commands are asked for when the menu opens, so they
// always act on what the row shows then.
class RowMenu : public QObject {
    Q_OBJECT
public:
    using Actions = std::function<QList<RowAction>()>;
    using ToolTip = std::function<QString()>;

    // Installs the menu (and, when given, a tooltip worked out on hover) on
    // the row; the RowMenu lives as long as the row.
    static RowMenu* attach(QWidget* row, Actions actions, ToolTip toolTip = {});
    static RowMenu* of(QWidget* row);

    // Opens the menu at a global position; the menu deletes itself when closed.
    QMenu* popup(const QPoint& globalPos);
    QMenu* menu() const { return m_menu; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RowMenu(QWidget* row, Actions actions, ToolTip toolTip);

    QWidget* m_row;
    Actions m_actions;
    ToolTip m_toolTip;
    QPointer<QMenu> m_menu;
};

}  // namespace varnholt
