#include "BenchHome.h"

#include <QDir>
#include <QFile>
#include <QSettings>

namespace varnholt::bench {

bool useTemporaryHome(const QTemporaryDir& home) {
    if (!home.isValid()) {
        return false;
    }
    const QString path = home.path();
    for (const char* sub : {"/Desktop", "/.config", "/.local/share", "/.cache", "/runtime"}) {
        QDir().mkpath(path + sub);
    }
    // Qt ignores (and warns about) a runtime folder others may enter.
    QFile::setPermissions(path + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", path.toUtf8());
    qputenv("XDG_CONFIG_HOME", (path + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (path + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (path + "/.cache").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (path + "/runtime").toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path + "/.config");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path + "/.config");
    return true;
}

}  // namespace varnholt::bench
