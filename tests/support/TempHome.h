#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <optional>

namespace varnholt::test {

// A throw-away home folder for one test: HOME, the XDG folders and the
// settings location all point into it while the object lives, so a test can
// never touch the user's desktop, settings or runtime files.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString desktop() const { return m_dir.path() + "/Desktop"; }
    QString configDir() const { return m_dir.path() + "/.config"; }
    // A scratch folder for the test's own files (quick-host roots, picks...).
    QString scratch() const { return m_dir.path() + "/scratch"; }

private:
    void setEnv(const char* name, const QString& value);

    QTemporaryDir m_dir;
    std::map<QByteArray, std::optional<QByteArray>> m_saved;
};

}  // namespace varnholt::test
