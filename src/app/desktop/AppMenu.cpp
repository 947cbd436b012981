#include "AppMenu.h"

#include <QAction>
#include <QMenu>

namespace varnholt {

void fillAppMenu(QMenu* menu, const AppMenuCommands& commands, bool withShowHide) {
    if (withShowHide) {
        menu->addAction(QStringLiteral("Show/Hide Panel"), menu, commands.toggleWindow);
        menu->addSeparator();
    }
    addPreferenceItems(menu, commands.alert, commands.listingChanged);
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit Varnholt"), menu, commands.quit);
    quit->setShortcut(QKeySequence::Quit);
}

}  // namespace varnholt
