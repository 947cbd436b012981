#include "QuickHostRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <signal.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <thread>

#include "LinkToken.h"
#include "Log.h"
#include "NameCheck.h"
#include "OldCopies.h"
#include "PortPolicy.h"
#include "ServerAdoption.h"
#include "ServerProcess.h"
#include "ServerProgram.h"
#include "exec/Shell.h"
#include "scan/HostScanner.h"

namespace varnholt {

namespace {

// The old copy folder must be a direct child of the root: a slug like ".."
// would make removing it delete the root's parent.
bool isServableSlug(const QString& slug) {
    return !slug.isEmpty() && slug != "." && slug != ".." && !slug.contains('/') &&
           !slug.contains(QChar(0));
}

bool listensOn(qint32 pid, qint64 port) {
    if (HostScanner::isFreePort(port)) {
        return false;
    }
    const QList<HostedPort> servers = HostScanner::scan();
    return std::any_of(servers.cbegin(), servers.cend(), [&](const HostedPort& server) {
        return server.pid == pid && server.port == port;
    });
}

}  // namespace

QuickHostRegistry& QuickHostRegistry::shared() {
    static QuickHostRegistry registry;
    return registry;
}

QuickHostRegistry::QuickHostRegistry(QString root, qint64 firstPort, qint64 lastPort,
                                     QString serverProgram)
    : m_root(std::move(root)),
      m_firstPort(firstPort),
      m_lastPort(lastPort),
      m_serverProgram(serverProgram.isEmpty() ? ServerProgram::besideThisProgram()
                                              : std::move(serverProgram)) {}

std::optional<QuickHostEntry> QuickHostRegistry::info(const QString& path) const {
    auto it = m_running.constFind(path);
    if (it == m_running.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

// Why the package at path cannot be served, or nothing when it can.
std::optional<QString> QuickHostRegistry::checkPackage(const QString& path) {
    if (NameCheck::isUndecodable(path)) {
        return NameCheck::undecodableMessage(path);
    }
    if (!QDir::isAbsolutePath(path) || !QFileInfo(path).isDir()) {
        return QStringLiteral("The package folder %1 does not exist.").arg(path);
    }
    const QString name = slug(path);
    if (!isServableSlug(name)) {
        return QStringLiteral("A package named \u201C%1\u201D can't be served.").arg(name);
    }
    // A copy left by an earlier version would only take up space, and
    // could be mistaken for the package.
    for (const QString& root : {m_root, fallbackRoot()}) {
        if (!OldCopies::removeCopy(root, name)) {
            return QStringLiteral("The old copy at %1 could not be removed.")
                .arg(root + "/" + name);
        }
    }
    const QFileInfo server(m_serverProgram);
    if (!server.isFile() || !server.isExecutable()) {
        return QStringLiteral("The file server %1 is missing; reinstall Varnholt Control.")
            .arg(m_serverProgram);
    }
    return std::nullopt;
}

std::optional<qint64> QuickHostRegistry::choosePort(qint64 preferred) {
    const auto range =
        PortPolicy::bindableRange(m_firstPort, m_lastPort, PortPolicy::lowestBindablePort());
    if (!range) {
        fail(QStringLiteral("No port between %1 and %2 may be used without privileges "
                            "on this machine.")
                 .arg(m_firstPort)
                 .arg(m_lastPort));
        return std::nullopt;
    }
    if (preferred >= range->first && preferred <= range->second && !isPortOfOurs(preferred) &&
        HostScanner::isFreePort(preferred)) {
        return preferred;
    }
    // A server started a moment ago may not listen yet, so its port still
    // looks free; it is taken all the same.
    const auto port = HostScanner::firstFreePort(range->first, range->second, [this](qint64 p) {
        return !isPortOfOurs(p) && HostScanner::isFreePort(p);
    });
    if (!port) {
        fail(
            QStringLiteral("No free port between %1 and %2.").arg(range->first).arg(range->second));
    }
    return port;
}

std::optional<QuickHostEntry> QuickHostRegistry::start(const QString& path, ServeOptions options) {
    const auto entry = spawnChecked(path, options);
    if (!entry) {
        return std::nullopt;
    }
    // Waiting for it (briefly) turns a server that cannot listen into a
    // failure the user hears about, instead of a row that says it runs. The
    // port must be held by this server: another program may have taken it
    // since it looked free, and then ours exits.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBindWaitMs);
    while (!listensOn(entry->pid, entry->port) && std::chrono::steady_clock::now() < deadline &&
           ::kill(entry->pid, 0) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!confirmStarted(path, *entry)) {
        return std::nullopt;
    }
    return entry;
}

void QuickHostRegistry::startInBackground(const QString& path, Started done, ServeOptions options) {
    const auto entry = spawnChecked(path, options);
    if (!entry) {
        // Still under way until done has heard of the failure.
        ++m_startsUnderWay;
        QTimer::singleShot(0, m_waits.get(), [this, done, why = m_lastFailure] {
            --m_startsUnderWay;
            done(false, why);
        });
        return;
    }
    waitUntilListening(path, *entry, std::move(done));
}

void QuickHostRegistry::restartInBackground(const QString& path, ServeOptions options,
                                            Started done) {
    const auto old = info(path);
    if (!old) {
        startInBackground(path, std::move(done), options);
        return;
    }
    stop(path);
    // The old server lets go of its port within the stop's grace time; the
    // new one waits for that (on the event loop) to keep the same address.
    auto* wait = new QTimer(m_waits.get());
    wait->setInterval(10);
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    ++m_startsUnderWay;
    QObject::connect(wait, &QTimer::timeout, wait, [=, this] {
        const bool gone = ::kill(old->pid, 0) != 0 || !isSameProcess(*old);
        if (!gone && since->elapsed() < 2 * kBindWaitMs) {
            return;
        }
        wait->deleteLater();
        --m_startsUnderWay;
        if (info(path)) {
            done(false, {});  // started again meanwhile, as the user asked
            return;
        }
        const QString kept = options.newLink ? QString() : old->token;
        const auto entry = spawnChecked(path, options, old->port, kept);
        if (!entry) {
            done(false, m_lastFailure);
            return;
        }
        waitUntilListening(path, *entry, done);
    });
    wait->start();
}

std::optional<QuickHostEntry> QuickHostRegistry::spawnChecked(const QString& path,
                                                              ServeOptions options,
                                                              qint64 preferredPort,
                                                              const QString& keptToken) {
    m_lastFailure.clear();
    if (const auto why = checkPackage(path)) {
        return fail(*why);
    }
    QString token;
    if (options.privately && !keptToken.isEmpty()) {
        token = keptToken;
    } else if (options.privately) {
        const auto made = LinkToken::make();
        if (!made) {
            return fail(
                QStringLiteral("The system's random source could not be read, so no "
                               "private link could be made."));
        }
        token = *made;
    }
    const auto port = choosePort(preferredPort);
    if (!port) {
        return std::nullopt;
    }
    // The package is served in place, from its own folder, which is also
    // the server's working folder: that names it in a listing of processes.
    // The token goes in the environment, which other users cannot read; an
    // empty one keeps a token of our own environment from leaking in.
    QStringList arguments{"--bind", "0.0.0.0", "--port", QString::number(*port)};
    const bool uploads = options.privately && options.uploads;
    if (uploads) {
        arguments << QStringLiteral("--allow-uploads");
    }
    arguments << path;
    const qint32 pid = shellBackground(m_serverProgram, arguments, path,
                                       {QStringLiteral("VARNHOLT_SERVE_TOKEN=") + token});
    if (pid < 1) {
        return fail(QStringLiteral("%1 could not be started.").arg(m_serverProgram));
    }
    const QuickHostEntry entry{pid, *port, ServerProcess::startTime(pid), token, uploads};
    m_running.insert(path, entry);
    return entry;
}

void QuickHostRegistry::waitUntilListening(const QString& path, const QuickHostEntry& entry,
                                           Started done) {
    auto* wait = new QTimer(m_waits.get());
    wait->setInterval(5);
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    QObject::connect(wait, &QTimer::timeout, wait, [this, wait, since, path, entry, done] {
        const bool dead = ::kill(entry.pid, 0) != 0;
        if (!dead && !listensOn(entry.pid, entry.port) && since->elapsed() < kBindWaitMs) {
            return;  // not yet
        }
        wait->deleteLater();
        --m_startsUnderWay;
        // Stopped (or started again) meanwhile, as the user asked: nothing
        // failed, and the table already says what runs.
        const auto now = info(path);
        if (!now || now->pid != entry.pid) {
            done(false, {});
            return;
        }
        const bool started = confirmStarted(path, entry);
        done(started, started ? QString() : m_lastFailure);
    });
    ++m_startsUnderWay;
    wait->start();
}

bool QuickHostRegistry::confirmStarted(const QString& path, const QuickHostEntry& entry) {
    if (::kill(entry.pid, 0) != 0) {
        m_running.remove(path);
        fail(QStringLiteral("The server for port %1 stopped right after it started.")
                 .arg(entry.port));
        return false;
    }
    const QString how = !entry.isPrivate() ? QString()
                        : entry.uploads    ? QStringLiteral(", privately, taking uploads")
                                           : QStringLiteral(", privately");
    qCInfo(lcQuickHost).noquote() << QStringLiteral("Serving %1 on port %2 (pid %3)%4")
                                         .arg(path)
                                         .arg(entry.port)
                                         .arg(entry.pid)
                                         .arg(how);
    return true;
}

std::optional<QuickHostEntry> QuickHostRegistry::fail(const QString& why) {
    qCWarning(lcQuickHost).noquote() << "Could not serve a package:" << why;
    m_lastFailure = why;
    return std::nullopt;
}

QString QuickHostRegistry::fallbackRoot() const {
    return m_root + QLatin1Char('-') + QString::number(::geteuid());
}

// The pid still names the process that was started: it exists, and it
// started when ours did (where that can be told).
bool QuickHostRegistry::isSameProcess(const QuickHostEntry& entry) const {
    if (entry.pid < 1 || ::kill(entry.pid, 0) != 0) {
        return false;
    }
    return entry.startTime == 0 || ServerProcess::startTime(entry.pid) == entry.startTime;
}

bool QuickHostRegistry::mayBeOurs(const HostedPort& server) const {
    if (server.pid < 1 || m_strangers.contains(server.pid) ||
        !server.command.contains(QLatin1String(ServerProgram::kName)) ||
        server.port < m_firstPort || server.port > m_lastPort) {
        return false;
    }
    return std::none_of(m_running.cbegin(), m_running.cend(),
                        [&](const QuickHostEntry& entry) { return entry.pid == server.pid; });
}

bool QuickHostRegistry::isPortOfOurs(qint64 port) const {
    return std::any_of(m_running.cbegin(), m_running.cend(), [&](const QuickHostEntry& entry) {
        return entry.port == port && isSameProcess(entry);
    });
}

void QuickHostRegistry::adopt(const QList<HostedPort>& servers,
                              const QList<QuickHostPackage>& packages) {
    QList<QuickHostPackage> unserved;
    std::copy_if(packages.cbegin(), packages.cend(), std::back_inserter(unserved),
                 [this](const QuickHostPackage& p) { return !m_running.contains(p.path); });
    QSet<qint32> listed;
    for (const HostedPort& server : servers) {
        listed.insert(server.pid);
    }
    m_strangers.intersect(listed);  // ended servers' pids may come back as others
    const ServerAdoption::Claim claim{m_serverProgram, ::geteuid(), m_firstPort, m_lastPort};
    for (const HostedPort& server : servers) {
        if (unserved.isEmpty()) {
            return;
        }
        if (!mayBeOurs(server)) {
            continue;
        }
        const auto facts = ServerProcess::read(server.pid);
        const auto path =
            facts ? ServerAdoption::packageOf(server, *facts, claim, unserved) : std::nullopt;
        if (!path) {
            m_strangers.insert(server.pid);
            continue;
        }
        unserved.removeIf([&](const QuickHostPackage& p) { return p.path == *path; });
        m_running.insert(*path, QuickHostEntry{server.pid, server.port, facts->startTime,
                                               facts->token, ServerAdoption::takesUploads(*facts)});
        qCInfo(lcQuickHost).noquote()
            << QStringLiteral(
                   "Took back the server of %1 on port %2 (pid %3), started by an "
                   "earlier run")
                   .arg(*path)
                   .arg(server.port)
                   .arg(server.pid);
    }
}

void QuickHostRegistry::stop(const QString& path) {
    if (const auto entry = info(path)) {
        qCInfo(lcQuickHost).noquote()
            << QStringLiteral("Stopping the server of %1 on port %2 (pid %3)")
                   .arg(path)
                   .arg(entry->port)
                   .arg(entry->pid);
        // A pid that now names another process is not ours to signal.
        if (isSameProcess(*entry)) {
            HostScanner::stop(entry->pid);
        }
    }
    m_running.remove(path);
}

void QuickHostRegistry::pruneDead() {
    const auto snapshot = m_running;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        if (!isSameProcess(*it)) {
            qCInfo(lcQuickHost).noquote()
                << QStringLiteral("The server of %1 on port %2 (pid %3) is gone")
                       .arg(it.key())
                       .arg(it->port)
                       .arg(it->pid);
            m_running.remove(it.key());
        }
    }
}

QString QuickHostRegistry::slug(const QString& path) {
    return HostScanner::lastPathComponent(path).toLower().replace(' ', '-');
}

}  // namespace varnholt
