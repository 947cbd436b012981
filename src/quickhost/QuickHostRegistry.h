#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

#include "QuickHostEntry.h"
#include "QuickHostPackage.h"
#include "ServeOptions.h"
#include "scan/HostedPort.h"

namespace varnholt {

// Serves package folders in place: runs varnholt-serve for a package on the
// first free port of the range, as a process of its own that outlives the
// app. Remembers, per package path, the server it started.
class QuickHostRegistry {
public:
    // Where earlier versions kept a served copy of each package.
    static constexpr char kDefaultRoot[] = "/tmp/varnholt-quick";
    static constexpr qint64 kFirstPort = 1010;
    static constexpr qint64 kLastPort = 1040;

    // The app's one registry, with the server beside the app's executable.
    static QuickHostRegistry& shared();

    // Tests give their own root, may narrow the port range, and name the
    // server program (empty: the one beside this executable).
    explicit QuickHostRegistry(QString root = kDefaultRoot, qint64 firstPort = kFirstPort,
                               qint64 lastPort = kLastPort, QString serverProgram = {});

    // How long start() waits for a new server to listen before it calls it
    // started anyway; a server that dies meanwhile is a failure.
    static constexpr int kBindWaitMs = 1000;

    std::optional<QuickHostEntry> info(const QString& path) const;
    // Every server the registry knows, by package path.
    const QHash<QString, QuickHostEntry>& running() const { return m_running; }
    // Absent when no server runs afterwards; lastFailure() then says why.
    // Waits (up to kBindWaitMs) until the server listens.
    std::optional<QuickHostEntry> start(const QString& path, ServeOptions options = {});
    // What the panel uses: the same start without the wait. It returns once
    // the server is spawned, with its entry already in the table (so no
    // other start takes its port); the wait until it listens runs on the
    // event loop, and done hears there whether the server runs, or why not
    // (no reason: it was stopped meanwhile, which is no failure).
    using Started = std::function<void(bool started, const QString& failure)>;
    void startInBackground(const QString& path, Started done, ServeOptions options = {});
    // Serves a running package anew with other options (a private link, a
    // new one, uploads): the old server stops first, so an old link stops
    // working at once (unless it is kept), and the new one takes the same
    // port when it can.
    void restartInBackground(const QString& path, ServeOptions options, Started done);
    // Starts whose outcome done has not heard yet.
    int startsUnderWay() const { return m_startsUnderWay; }
    void stop(const QString& path);
    void pruneDead();

    // Takes back servers an earlier run of the app started: a listener that
    // runs this installation's server, as this user, on a port of the range,
    // for one of the packages. Packages already served are left alone.
    void adopt(const QList<HostedPort>& servers, const QList<QuickHostPackage>& packages);

    // Why the last start() failed, fit for the alert's informative text; empty
    // after a start that worked.
    const QString& lastFailure() const { return m_lastFailure; }

    const QString& root() const { return m_root; }
    // Where copies went when the root belonged to someone else.
    QString fallbackRoot() const;
    const QString& serverProgram() const { return m_serverProgram; }

    // Last path component, lower-cased, spaces as "-".
    static QString slug(const QString& path);

private:
    QString m_root;
    qint64 m_firstPort;
    qint64 m_lastPort;
    QString m_serverProgram;
    bool isPortOfOurs(qint64 port) const;
    std::optional<QuickHostEntry> fail(const QString& why);
    std::optional<QString> checkPackage(const QString& path);
    std::optional<qint64> choosePort(qint64 preferred = 0);
    // Checks the package, takes a port and starts its server, whose entry is
    // in the table when it returns; absent on failure (lastFailure says why).
    std::optional<QuickHostEntry> spawnChecked(const QString& path, ServeOptions options,
                                               qint64 preferredPort = 0,
                                               const QString& keptToken = {});
    void waitUntilListening(const QString& path, const QuickHostEntry& entry, Started done);
    // The server a start spawned is running: it listens, or has not died
    // before the wait ran out. Else it fails and leaves the table.
    bool confirmStarted(const QString& path, const QuickHostEntry& entry);
    bool isSameProcess(const QuickHostEntry& entry) const;

    bool mayBeOurs(const HostedPort& server) const;

    QHash<QString, QuickHostEntry> m_running;
    QString m_lastFailure;
    // Servers adopt() already found to be no package's, so a refresh does
    // not look them up again.
    QSet<qint32> m_strangers;
    // Owns the waits of starts in the background: none outlives the registry.
    std::unique_ptr<QObject> m_waits = std::make_unique<QObject>();
    int m_startsUnderWay = 0;
};

}  // namespace varnholt
