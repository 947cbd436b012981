#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

#include "Autostart.h"
#include "AutostartEntry.h"
#include "Log.h"

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

std::optional<QString> existingEntry() {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

bool runsThisProgram(const QString& contents) {
    const QString program = AutostartEntry::program(contents);
    const QString self = QCoreApplication::applicationFilePath();
    return !program.isEmpty() && (program == self || QFileInfo(program).canonicalFilePath() ==
                                                         QFileInfo(self).canonicalFilePath());
}

// Written whole or not at all: a half-written entry would start nothing.
bool save(const QString& text) {
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(text.toUtf8());
    return file.commit();
}

bool fail(QString* why, const QString& text) {
    qCWarning(lcDesktop).noquote() << "Start at Login:" << text;
    if (why) {
        *why = text;
    }
    return false;
}

}  // namespace

QString entryPath() {
    return configHome() + QStringLiteral("/autostart/") + AutostartEntry::kFileName;
}

bool isEnabled() {
    const std::optional<QString> contents = existingEntry();
    return contents && AutostartEntry::enabled(*contents) && runsThisProgram(*contents);
}

bool setEnabled(bool enabled, QString* why) {
    const QString path = entryPath();
    const std::optional<QString> contents = existingEntry();
    const bool ours = contents && AutostartEntry::writtenByApp(*contents);
    const QString cannotWrite = QStringLiteral("Check that this file can be written: ") + path;
    if (!enabled) {
        // Off already, or an entry of the user's that starts something else:
        // nothing of ours starts at login.
        if (!contents || !AutostartEntry::enabled(*contents) ||
            (!ours && !runsThisProgram(*contents))) {
            return true;
        }
        if (ours) {
            return QFile::remove(path) || fail(why, cannotWrite);
        }
        // The user's own entry: turned off as desktops do, kept for them.
        return save(AutostartEntry::withEnabled(*contents, false)) || fail(why, cannotWrite);
    }
    if (contents && !ours) {
        if (!runsThisProgram(*contents)) {
            return fail(why, QStringLiteral("%1 is an entry of your own that starts %2; it is "
                                            "left as it is.")
                                 .arg(path, AutostartEntry::program(*contents)));
        }
        return save(AutostartEntry::withEnabled(*contents, true)) || fail(why, cannotWrite);
    }
    const QString program = QCoreApplication::applicationFilePath();
    if (const QString reason = AutostartEntry::unrunnableBecause(program); !reason.isEmpty()) {
        return fail(why, reason);
    }
    return save(AutostartEntry::text(program)) || fail(why, cannotWrite);
}

}  // namespace varnholt::Autostart
