#include "AppMenu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "AppDelegate.h"

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
    QAction* quit = menu->addAction(QStringLiteral("Quit Varnholt"), delegate, [self] {
        if (self) {
            self->quit();
        }
    });
    quit->setShortcut(QKeySequence::Quit);
}

}  // namespace varnholt
