#include "PreferenceItems.h"

#include <QAction>
#include <QMenu>

#include "app/desktop/Autostart.h"
#include "store/Store.h"

namespace varnholt {

void addPreferenceItems(QMenu* menu, PreferenceAlert alert) {
    QAction* notify = menu->addAction(QString::fromUtf8(kNotifyItemTitle));
    notify->setCheckable(true);
    notify->setChecked(Store::notifyWhenExposed());
    QObject::connect(notify, &QAction::toggled, menu,
                     [](bool checked) { Store::setNotifyWhenExposed(checked); });

    QAction* login = menu->addAction(QString::fromUtf8(kStartAtLoginTitle));
    login->setCheckable(true);
    login->setChecked(Autostart::isEnabled());
    QObject::connect(login, &QAction::triggered, menu, [login, alert](bool checked) {
        QString why;
        if (!Autostart::setEnabled(checked, &why) && alert) {
            alert(checked ? QStringLiteral("Couldn't turn on Start at Login")
                          : QStringLiteral("Couldn't turn off Start at Login"),
                  why);
        }
        // Shows what is on disk, whatever was asked.
        login->setChecked(Autostart::isEnabled());
    });

    QObject::connect(menu, &QMenu::aboutToShow, notify, [notify, login] {
        const QSignalBlocker quiet(notify);
        notify->setChecked(Store::notifyWhenExposed());
        login->setChecked(Autostart::isEnabled());
    });
}

}  // namespace varnholt
