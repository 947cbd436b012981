#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace varnholt::test {

TempHome::TempHome() : m_dir(QDir::tempPath() + "/varnholt-test-XXXXXX") {
    if (!m_dir.isValid()) {
        return;
    }
    const QString home = m_dir.path();
    QDir().mkpath(home + "/Desktop");
    QDir().mkpath(home + "/.config");
    QDir().mkpath(home + "/.local/share");
    QDir().mkpath(home + "/.cache");
    QDir().mkpath(home + "/runtime");
    QDir().mkpath(home + "/scratch");
    QFile::setPermissions(home + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setEnv("HOME", home);
    setEnv("XDG_CONFIG_HOME", home + "/.config");
    setEnv("XDG_DATA_HOME", home + "/.local/share");
    setEnv("XDG_CACHE_HOME", home + "/.cache");
    setEnv("XDG_RUNTIME_DIR", home + "/runtime");
    // A session bus that is not there: nothing a test does can reach the
    // user's desktop (notifications included).
    setEnv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home + "/runtime/no-bus");
    // Without a user-dirs file the desktop folder is HOME/Desktop.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home + "/.config");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home + "/.config");
}

TempHome::~TempHome() {
    for (const auto& [name, value] : m_saved) {
        if (value) {
            qputenv(name.constData(), *value);
        } else {
            qunsetenv(name.constData());
        }
    }
}

void TempHome::setEnv(const char* name, const QString& value) {
    const QByteArray key(name);
    if (m_saved.find(key) == m_saved.end()) {
        m_saved[key] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                       : std::nullopt;
    }
    qputenv(name, value.toUtf8());
}

}  // namespace varnholt::test
