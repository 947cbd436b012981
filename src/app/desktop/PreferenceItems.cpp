#include "PreferenceItems.h"

#include <QAction>
#include <QMenu>

#include "app/desktop/Autostart.h"
#include "store/Store.h"

namespace varnholt {

void addPreferenceItems(QMenu* menu, PreferenceAlert alert, std::function<void()> listingChanged) {
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

    QAction* every = menu->addAction(QString::fromUtf8(kEveryListenerTitle));
    every->setCheckable(true);
    every->setChecked(Store::showEveryListener());
    QObject::connect(every, &QAction::toggled, menu, [listingChanged](bool checked) {
        Store::setShowEveryListener(checked);
        if (listingChanged) {
            listingChanged();
        }
    });

    QAction* privately = menu->addAction(QString::fromUtf8(kSharePrivatelyTitle));
    privately->setCheckable(true);
    privately->setChecked(Store::shareNewHostsPrivately());
    QObject::connect(privately, &QAction::toggled, menu,
                     [](bool checked) { Store::setShareNewHostsPrivately(checked); });

    QObject::connect(menu, &QMenu::aboutToShow, notify, [notify, login, every, privately] {
        const QSignalBlocker quiet(notify);
        const QSignalBlocker quietEvery(every);
        const QSignalBlocker quietPrivately(privately);
        notify->setChecked(Store::notifyWhenExposed());
        login->setChecked(Autostart::isEnabled());
        every->setChecked(Store::showEveryListener());
        privately->setChecked(Store::shareNewHostsPrivately());
    });
}

}  // namespace varnholt
