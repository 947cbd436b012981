#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "Autostart.h"
#include "app/desktop/AutostartEntry.h"

namespace varnholt::Autostart {

namespace {

// XDG_CONFIG_HOME when it holds an absolute path, ~/.config otherwise: the
// base directory rules ignore a relative value.
QString configHome() {
    const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return value;
    }
    return QDir::homePath() + QStringLiteral("/.config");
}

}  // namespace

QString entryPath() {
    return configHome() + QStringLiteral("/autostart/") + AutostartEntry::kFileName;
}

bool isEnabled() {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return AutostartEntry::enabled(QString::fromUtf8(file.readAll()));
}

bool setEnabled(bool enabled) {
    const QString path = entryPath();
    if (!enabled) {
        return !QFileInfo::exists(path) || QFile::remove(path);
    }
    const QString text = AutostartEntry::text(QCoreApplication::applicationFilePath());
    if (text.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    // Written whole or not at all: a half-written entry would start nothing.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(text.toUtf8());
    return file.commit();
}

}  // namespace varnholt::Autostart
