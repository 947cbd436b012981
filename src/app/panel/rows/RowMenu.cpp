#include "RowMenu.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QWidget>

#include "app/controls/Style.h"

namespace varnholt {

RowMenu::RowMenu(QWidget* row, Actions actions, ToolTip toolTip)
    : QObject(row), m_row(row), m_actions(std::move(actions)), m_toolTip(std::move(toolTip)) {
    setObjectName(QStringLiteral("rowMenu"));
}

RowMenu* RowMenu::attach(QWidget* row, Actions actions, ToolTip toolTip) {
    auto* menu = new RowMenu(row, std::move(actions), std::move(toolTip));
    row->installEventFilter(menu);
    // Reachable with Tab, never by a click: a click belongs to the buttons.
    row->setFocusPolicy(Qt::TabFocus);
    return menu;
}

RowMenu* RowMenu::of(QWidget* row) {
    return row->findChild<RowMenu*>(QStringLiteral("rowMenu"), Qt::FindDirectChildrenOnly);
}

QMenu* RowMenu::popup(const QPoint& globalPos) {
    if (m_menu) {
        m_menu->close();
    }
    // Parented to the window, not the row: a refresh may replace the row
    // while the menu is open, and the chosen command must still run.
    auto* menu = new QMenu(m_row->window());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const RowAction& action : m_actions()) {
        if (action.separatorBefore && !menu->isEmpty()) {
            menu->addSeparator();
        }
        QAction* item = menu->addAction(action.title);
        item->setEnabled(action.enabled);
        item->setCheckable(action.checkable);
        item->setChecked(action.checked);
        connect(item, &QAction::triggered, menu, action.run);
    }
    m_menu = menu;
    menu->popup(globalPos);
    return menu;
}

bool RowMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_row) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::ContextMenu: {
            // Right-clicks on the row's labels and buttons arrive here too:
            // none of them has a menu of its own.
            auto* menuEvent = static_cast<QContextMenuEvent*>(event);
            const QPoint at = menuEvent->reason() == QContextMenuEvent::Mouse
                                  ? menuEvent->globalPos()
                                  : m_row->mapToGlobal(QPoint(0, m_row->height()));
            popup(at);
            return true;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool menuKey = key->key() == Qt::Key_Menu;
            const bool shiftF10 =
                key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
            if (menuKey || shiftF10) {
                popup(m_row->mapToGlobal(QPoint(0, m_row->height())));
                return true;
            }
            break;
        }
        case QEvent::ToolTip:
            if (m_toolTip) {
                m_row->setToolTip(m_toolTip());
            }
            break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            m_row->update();
            break;
        case QEvent::Paint:
            if (m_row->hasFocus()) {
                // The row draws nothing of its own; the buttons' ring shows
                // where the keyboard is.
                QPainter painter(m_row);
                drawFocusRing(painter, QRectF(m_row->rect()), 5);
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace varnholt
