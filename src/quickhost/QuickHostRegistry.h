#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

#include "QuickHostEntry.h"
#include "QuickHostPackage.h"
#include "scan/HostedPort.h"
#include "scan/ProcessSource.h"

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

    // How long start() waits for a new server to listen before it calls it
    // started anyway; a server that dies meanwhile is a failure.
    static constexpr int kBindWaitMs = 1000;

    std::optional<QuickHostEntry> info(const QString& path) const;
    // Absent when no server runs afterwards; lastFailure() then says why.
    std::optional<QuickHostEntry> start(const QString& path);
    void stop(const QString& path);
    void pruneDead();

    // Takes back servers an earlier run of the app started: a python
    // http.server among servers whose working folder is a package's served
    // folder is that package's server. Packages already served are left alone.
    void adopt(const QList<HostedPort>& servers, const QList<QuickHostPackage>& packages);
    void adopt(const QList<HostedPort>& servers, const QList<QuickHostPackage>& packages,
               ProcessSource& source);

    // Why the last start() failed, fit for the alert's informative text; empty
    // after a start that worked.
    const QString& lastFailure() const { return m_lastFailure; }

    const QString& root() const { return m_root; }
    // Where copies go when the root belongs to someone else or is no folder.
    QString fallbackRoot() const;

    // Last path component, lower-cased, spaces as "-".
    static QString slug(const QString& path);

private:
    QString m_root;
    qint64 m_firstPort;
    qint64 m_lastPort;
    std::optional<QString> usableRoot();
    bool isPortOfOurs(qint64 port) const;
    std::optional<QuickHostEntry> fail(const QString& why);

    bool mayBeOurs(const HostedPort& server) const;

    QHash<QString, QuickHostEntry> m_running;
    QString m_lastFailure;
    // Servers adopt() already found to be no package's, so a refresh does
    // not look them up again.
    QSet<qint32> m_strangers;
};

}  // namespace varnholt
