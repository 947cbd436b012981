#include "AppMenu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "AppDelegate.h"
#include "PreferenceItems.h"

namespace varnholt {

void fillAppMenu(QMenu* menu, AppDelegate* delegate, bool withShowHide) {
    const QPointer<AppDelegate> self(delegate);
    if (withShowHide) {
        menu->addAction(QStringLiteral("Show/Hide Panel"), delegate, [self] {
            if (self) {
                self->toggleWindow();
            }
        });
        menu->addSeparator();
    }
    addPreferenceItems(menu, [self](const QString& message, const QString& detail) {
        if (self) {
            self->showAlert(message, detail);
        }
    });
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit Varnholt"), delegate, [self] {
        if (self) {
            self->quit();
        }
    });
    quit->setShortcut(QKeySequence::Quit);
}

}  // namespace varnholt
