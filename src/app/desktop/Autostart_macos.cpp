#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "Autostart.h"

namespace varnholt::Autostart {

// A per-user LaunchAgent that runs the program once at login.

QString entryPath() {
    return QDir::homePath() + QStringLiteral("/Library/LaunchAgents/com.varnholt.control.plist");
}

bool isEnabled() {
    return QFileInfo::exists(entryPath());
}

bool setEnabled(bool enabled, QString* why) {
    if (why) {
        *why = QStringLiteral("Check that this file can be written: ") + entryPath();
    }
    const QString path = entryPath();
    if (!enabled) {
        return !QFileInfo::exists(path) || QFile::remove(path);
    }
    const QString program = QCoreApplication::applicationFilePath().toHtmlEscaped();
    const QString plist = QStringLiteral(
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                              "<plist version=\"1.0\">\n<dict>\n"
                              "  <key>Label</key><string>com.varnholt.control</string>\n"
                              "  <key>ProgramArguments</key><array><string>") +
                          program +
                          QStringLiteral(
                              "</string></array>\n"
                              "  <key>RunAtLoad</key><true/>\n"
                              "</dict>\n</plist>\n");
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(plist.toUtf8());
    return file.commit();
}

}  // namespace varnholt::Autostart
