#include <QApplication>

#include <cstdio>
#include <cstring>

#include "AppDelegate.h"
#include "Log.h"
#include "QtPlatformChoice.h"
#include "RuntimeFolder.h"
#include "quickhost/QuickHostRegistry.h"

namespace {

// Answered before any window system is touched, so both work on a machine
// without a display (and from a package's post-install checks).
// -1 for anything else, which is left to Qt (-platform, -style...).
int answerOption(const char* option) {
    if (std::strcmp(option, "--version") == 0) {
        std::printf("varnholt-control %s\n", VARNHOLT_VERSION);
        return 0;
    }
    if (std::strcmp(option, "--help") == 0) {
        std::printf(
            "Usage: varnholt-control [--version] [--help]\n"
            "Shows what this machine serves to the local network in a tray icon and a panel.\n"
            "A second start shows the running instance's panel. See varnholt-control(1).\n");
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (const int status = answerOption(argv[i]); status >= 0) {
            return status;
        }
    }
    varnholt::installLogFormat();
    varnholt::RuntimeFolder::provide();
    const QString platformReason = varnholt::applyPreferredQtPlatform(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnholt Control"));
    QApplication::setDesktopFileName(QStringLiteral("varnholt-control"));
    qCInfo(varnholt::lcApp).noquote()
        << "Varnholt Control" << VARNHOLT_VERSION << "on the Qt platform"
        << QGuiApplication::platformName() << "(" + platformReason + ")";
    varnholt::AppDelegate delegate(varnholt::QuickHostRegistry::shared());
    if (!delegate.launch()) {
        return 0;  // the running instance shows its panel instead
    }
    return QApplication::exec();
}
