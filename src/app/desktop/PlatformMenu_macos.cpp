#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "PlatformMenu.h"

namespace varnholt {

void installPlatformMenu(QWidget* panel, std::function<void()> quit) {
    // A menu bar without a parent is the application's main menu bar.
    static QMenuBar* menuBar = new QMenuBar(nullptr);
    QMenu* appMenu = menuBar->addMenu(QStringLiteral("Varnholt Control"));
    QAction* quitAction = appMenu->addAction(QStringLiteral("Quit Varnholt Control"));
    quitAction->setShortcut(QKeySequence::Quit);
    quitAction->setMenuRole(QAction::QuitRole);
    QObject::connect(quitAction, &QAction::triggered, panel, [quit = std::move(quit)] { quit(); });
}

}  // namespace varnholt
