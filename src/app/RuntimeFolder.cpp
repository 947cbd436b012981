#include "RuntimeFolder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Log.h"

namespace varnholt::RuntimeFolder {

namespace {

// Made here when missing; an existing one is used only when it is ours and
// private already, or ours and can be made so.
bool makePrivate(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        return false;
    }
    return (st.st_mode & 07777) == 0700 || ::chmod(name.constData(), 0700) == 0;
}

}  // namespace

bool isPrivate(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

QString privateFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivate(runtime)) {
        return runtime;
    }
    const QString own = QDir::tempPath() + QStringLiteral("/varnholt-control-%1").arg(::geteuid());
    if (makePrivate(own)) {
        return own;
    }
    qCWarning(lcApp).noquote() << "No private folder for the app's socket:" << own
                               << "belongs to someone else or cannot be made";
    return {};
}

void provide() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    const QString folder = privateFolder();
    if (!folder.isEmpty()) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
    }
}

}  // namespace varnholt::RuntimeFolder
