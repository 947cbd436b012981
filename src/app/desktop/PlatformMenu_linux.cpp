#include <QShortcut>
#include <QWidget>

#include "PlatformMenu.h"

namespace varnholt {

void installPlatformMenu(QWidget* panel, std::function<void()> quit) {
    auto* shortcut = new QShortcut(QKeySequence::Quit, panel);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, panel, [quit = std::move(quit)] { quit(); });
}

}  // namespace varnholt
