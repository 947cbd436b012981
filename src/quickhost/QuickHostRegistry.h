#pragma once

#include <QHash>
#include <QString>

#include <optional>

#include "QuickHostEntry.h"

namespace varnholt {

// Serves package folders: copies each to a folder of its own under the
// quick-host root and runs `python3 -m http.server` there on the first free
// port of the range. Remembers, per package path, the server it started.
class QuickHostRegistry {
public:
    static constexpr char kDefaultRoot[] = "/tmp/varnholt-quick";
    static constexpr qint64 kFirstPort = 1010;
    static constexpr qint64 kLastPort = 1040;

    // The app's one registry, rooted at kDefaultRoot.
    static QuickHostRegistry& shared();

    // Tests give their own root (and may narrow the port range).
    explicit QuickHostRegistry(QString root = kDefaultRoot, qint64 firstPort = kFirstPort,
                               qint64 lastPort = kLastPort);

    std::optional<QuickHostEntry> info(const QString& path) const;
    std::optional<QuickHostEntry> start(const QString& path, const QString& hostMjs);
    void stop(const QString& path);
    void pruneDead();

    const QString& root() const { return m_root; }

    // Last path component, lower-cased, spaces as "-".
    static QString slug(const QString& path);

private:
    QString m_root;
    qint64 m_firstPort;
    qint64 m_lastPort;
    QHash<QString, QuickHostEntry> m_running;
};

}  // namespace varnholt
