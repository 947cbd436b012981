#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>

#include "Trash.h"

namespace varnholt::Trash {

namespace {

// The freedesktop home trash: $XDG_DATA_HOME/Trash.
QString homeTrash() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || QDir::isRelativePath(data)) {
        return {};
    }
    return data + QStringLiteral("/Trash");
}

// A fresh account has no data folder yet, and the toolkit then makes its
// trash folders relative to the working folder and moves the item there.
bool makeHomeTrash(const QString& trash) {
    for (const QString& sub : {QStringLiteral("/files"), QStringLiteral("/info")}) {
        if (!QDir().mkpath(trash + sub)) {
            return false;
        }
    }
    ::chmod(QFile::encodeName(trash).constData(), 0700);
    return true;
}

// The places a freedesktop trash can be: the home trash, or a volume's
// own .Trash/<uid> or .Trash-<uid>.
bool isTrashLocation(const QString& trashed, const QString& home) {
    const QString uid = QString::number(::getuid());
    return trashed.startsWith(home + QStringLiteral("/files/")) ||
           trashed.contains(QStringLiteral("/.Trash-") + uid + QStringLiteral("/files/")) ||
           trashed.contains(QStringLiteral("/.Trash/") + uid + QStringLiteral("/files/"));
}

}  // namespace

bool moveToTrash(const QString& path, QString* failure) {
    const auto fail = [&](const QString& why) {
        if (failure) {
            *failure = why;
        }
        return false;
    };
    const QString home = homeTrash();
    if (home.isEmpty() || !makeHomeTrash(home)) {
        return fail(QStringLiteral("The trash folder %1 could not be made.").arg(home));
    }
    QString trashed;
    if (!QFile::moveToTrash(path, &trashed)) {
        return fail(QStringLiteral("%1 could not be moved to the trash.").arg(path));
    }
    if (!isTrashLocation(QFileInfo(trashed).absoluteFilePath(), home)) {
        // Put back what went somewhere else rather than lose track of it.
        ::rename(QFile::encodeName(trashed).constData(), QFile::encodeName(path).constData());
        return fail(QStringLiteral("%1 could not be moved to the trash.").arg(path));
    }
    return true;
}

}  // namespace varnholt::Trash
