#include <QApplication>

#include "AppDelegate.h"
#include "QtPlatformChoice.h"
#include "quickhost/QuickHostRegistry.h"

int main(int argc, char* argv[]) {
    varnholt::applyPreferredQtPlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnholt Control"));
    QApplication::setDesktopFileName(QStringLiteral("varnholt-control"));
    varnholt::AppDelegate delegate(varnholt::QuickHostRegistry::shared());
    if (!delegate.launch()) {
        return 0;  // the running instance shows its panel instead
    }
    return QApplication::exec();
}
