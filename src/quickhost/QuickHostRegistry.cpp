#include "QuickHostRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "Log.h"
#include "NameCheck.h"
#include "PortPolicy.h"
#include "ServerEnvironment.h"
#include "exec/Shell.h"
#include "exec/Tools.h"
#include "scan/HostScanner.h"
#include "scan/ScanPlatform.h"

namespace varnholt {

namespace {

// The served folder must be a direct child of the root: a slug like ".."
// would make the fresh-copy step delete the root's parent.
bool isServableSlug(const QString& slug) {
    return !slug.isEmpty() && slug != "." && slug != ".." && !slug.contains('/') &&
           !slug.contains(QChar(0)) && slug != QLatin1String(ServerEnvironment::kFolderName);
}

enum class RootState { Ok, OtherOwner, Unusable };

// The root lies in a folder every user may write to. Serve through it only
// when it is a real folder of our own that nobody else can write into, so no
// other local user can plant a link that we would delete through or swap
// content into a copy we serve.
RootState makePrivateRoot(const QString& root) {
    const QByteArray name = QFile::encodeName(root);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT) {
            return RootState::Unusable;
        }
        const QString parent = QFileInfo(root).absolutePath();
        QDir().mkpath(parent);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
            return RootState::Unusable;
        }
    } else if (st.st_uid != ::geteuid()) {
        return RootState::OtherOwner;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return RootState::Unusable;
    }
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    const bool ours = ok && st.st_uid == ::geteuid();
    if (ok && ours && (st.st_mode & 077) != 0) {
        ok = ::fchmod(fd, 0700) == 0;
    }
    ::close(fd);
    if (ok && !ours) {
        return RootState::OtherOwner;
    }
    return ok ? RootState::Ok : RootState::Unusable;
}

bool lexists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isRealDir(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The names in a folder, as bytes: the toolkit's listings skip names that
// are not valid UTF-8, and the copy must not keep what they miss.
QList<QByteArray> rawEntries(const QByteArray& dir) {
    QList<QByteArray> names;
    if (DIR* handle = ::opendir(dir.constData())) {
        while (const dirent* entry = ::readdir(handle)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") {
                names << name;
            }
        }
        ::closedir(handle);
    }
    return names;
}

// Deletes the tree at path by its bytes (names that are not valid UTF-8
// included), never following a link: lstat first, and nobody else can swap
// a link in, the root being private. Folders are opened up for ourselves
// first, since a copy of a package with read-only folders cannot be emptied
// as it is.
void removeTree(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        ::unlink(path.constData());
        return;
    }
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        ::chmod(path.constData(), (st.st_mode & 07777) | S_IRWXU);
    }
    for (const QByteArray& name : rawEntries(path)) {
        removeTree(path + '/' + name);
    }
    ::rmdir(path.constData());
}

// Deletes whatever is at path; true when nothing is left there. A copy
// left half-deleted would go on serving files the package no longer holds.
bool removePath(const QString& path) {
    removeTree(QFile::encodeName(path));
    return !lexists(path);
}

// A packaged site folder is served from the root of the copy. Entries whose
// name the root already holds stay behind and go with the site folder.
void flattenSite(const QString& dir) {
    const QString site = dir + "/site";
    if (!isRealDir(site) || !QFileInfo::exists(site + "/index.html")) {
        return;
    }
    // The site folder steps aside first, so a folder named "site" inside it
    // can take its place instead of being lost with it.
    QString source = site;
    for (int n = 1; n < 100; ++n) {
        const QString name = ".varnholt-site-" + QString::number(n);
        if (lexists(dir + "/" + name) || lexists(site + "/" + name)) {
            continue;
        }
        if (::rename(QFile::encodeName(site).constData(),
                     QFile::encodeName(dir + "/" + name).constData()) == 0) {
            source = dir + "/" + name;
        }
        break;
    }
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(dir);
    for (const QByteArray& name : rawEntries(from)) {
        const QByteArray target = to + '/' + name;
        struct stat st {};
        // rename() would silently replace an existing file; moves never do.
        if (::lstat(target.constData(), &st) == 0) {
            continue;
        }
        ::rename((from + '/' + name).constData(), target.constData());
    }
    removePath(source);  // what could not move goes with it
}

// rsync keeps only links that stay inside the package, but flattening moves
// the site's entries one level up, where a link like "../README" now leads out
// of the served folder. The server follows links, so none may lead out.
void removeEscapingLinks(const QByteArray& dir, const QByteArray& canonicalDir) {
    for (const QByteArray& name : rawEntries(dir)) {
        const QByteArray path = dir + '/' + name;
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0) {
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            removeEscapingLinks(path, canonicalDir);
            continue;
        }
        if (!S_ISLNK(st.st_mode)) {
            continue;
        }
        char* real = ::realpath(path.constData(), nullptr);
        const QByteArray target = real ? QByteArray(real) : QByteArray();
        ::free(real);
        if (target.isEmpty() ||
            (target != canonicalDir && !target.startsWith(canonicalDir + '/'))) {
            ::unlink(path.constData());
        }
    }
}

void removeEscapingLinks(const QString& dir) {
    char* real = ::realpath(QFile::encodeName(dir).constData(), nullptr);
    if (real == nullptr) {
        return;
    }
    const QByteArray canonicalDir(real);
    ::free(real);
    removeEscapingLinks(QFile::encodeName(dir), canonicalDir);
}

}  // namespace

QuickHostRegistry& QuickHostRegistry::shared() {
    static QuickHostRegistry registry;
    return registry;
}

QuickHostRegistry::QuickHostRegistry(QString root, qint64 firstPort, qint64 lastPort)
    : m_root(std::move(root)), m_firstPort(firstPort), m_lastPort(lastPort) {}

std::optional<QuickHostEntry> QuickHostRegistry::info(const QString& path) const {
    auto it = m_running.constFind(path);
    if (it == m_running.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

namespace {

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

std::optional<QuickHostEntry> QuickHostRegistry::start(const QString& path) {
    m_lastFailure.clear();
    if (NameCheck::isUndecodable(path)) {
        return fail(NameCheck::undecodableMessage(path));
    }
    if (!QDir::isAbsolutePath(path) || !QFileInfo(path).isDir()) {
        return fail(QStringLiteral("The package folder %1 does not exist.").arg(path));
    }
    const QString name = slug(path);
    if (!isServableSlug(name)) {
        return fail(QStringLiteral("A package named \u201C%1\u201D can't be served.").arg(name));
    }
    const std::optional<QString> root = usableRoot();
    if (!root) {
        return std::nullopt;
    }
    const QString dir = *root + "/" + name;
    // Copying over what is left would serve files deleted from the package.
    if (!removePath(dir)) {
        return fail(QStringLiteral("The old copy at %1 could not be removed.").arg(dir));
    }

    // Copies the user's files, so it runs as long as the copy takes. Both
    // paths are absolute; the working folder is "/" because rsync refuses to
    // run at all when the app's own working folder has been deleted. The copy's
    // folders stay writable for us, so the next start can replace it.
    shell(tools().rsync,
          {"-a", "--safe-links", "--chmod=Du+rwx", "--exclude", "Varnholt.command", "--exclude",
           "HOW TO SHARE.txt", path + "/", dir + "/"},
          QDir::rootPath());
    flattenSite(dir);
    removeEscapingLinks(dir);

    const auto range =
        PortPolicy::bindableRange(m_firstPort, m_lastPort, PortPolicy::lowestBindablePort());
    if (!range) {
        return fail(QStringLiteral("No port between %1 and %2 may be used without privileges "
                                   "on this machine.")
                        .arg(m_firstPort)
                        .arg(m_lastPort));
    }
    // A server started a moment ago may not listen yet, so its port still
    // looks free; it is taken all the same.
    const auto port = HostScanner::firstFreePort(range->first, range->second, [this](qint64 p) {
        return !isPortOfOurs(p) && HostScanner::isFreePort(p);
    });
    if (!port) {
        return fail(
            QStringLiteral("No free port between %1 and %2.").arg(range->first).arg(range->second));
    }
    const qint32 pid = shellBackground(
        tools().python3, {"-m", "http.server", QString::number(*port), "--bind", "0.0.0.0"}, dir,
        ServerEnvironment::prepare(*root + "/" + ServerEnvironment::kFolderName));
    if (pid < 1) {
        return fail(QStringLiteral("%1 could not be started.").arg(tools().python3));
    }
    // Python needs a moment to listen. Waiting for it (briefly) turns a server
    // that cannot listen into a failure the user hears about, instead of a
    // row that says it runs. The port must be held by this server: another
    // program may have taken it since it looked free, and then ours exits.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBindWaitMs);
    while (!listensOn(pid, *port) && std::chrono::steady_clock::now() < deadline) {
        if (::kill(pid, 0) != 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (::kill(pid, 0) != 0) {
        return fail(
            QStringLiteral("The server for port %1 stopped right after it started.").arg(*port));
    }
    const QuickHostEntry entry{pid, *port};
    m_running.insert(path, entry);
    qCInfo(lcQuickHost).noquote()
        << QStringLiteral("Serving %1 on port %2 (pid %3)").arg(path).arg(*port).arg(pid);
    return entry;
}

std::optional<QuickHostEntry> QuickHostRegistry::fail(const QString& why) {
    qCWarning(lcQuickHost).noquote() << "Could not serve a package:" << why;
    m_lastFailure = why;
    return std::nullopt;
}

QString QuickHostRegistry::fallbackRoot() const {
    return m_root + QLatin1Char('-') + QString::number(::geteuid());
}

std::optional<QString> QuickHostRegistry::usableRoot() {
    const RootState state = makePrivateRoot(m_root);
    if (state == RootState::Ok) {
        return m_root;
    }
    // Anyone can take the shared name first (another user, or a stray file),
    // which must not end quick hosting for us.
    const QString fallback = fallbackRoot();
    if (makePrivateRoot(fallback) == RootState::Ok) {
        return fallback;
    }
    fail(state == RootState::OtherOwner
             ? QStringLiteral("The quick-host folder %1 belongs to another user, and %2 can't "
                              "be used either.")
                   .arg(m_root, fallback)
             : QStringLiteral("Neither %1 nor %2 can be used as the quick-host folder.")
                   .arg(m_root, fallback));
    return std::nullopt;
}

bool QuickHostRegistry::mayBeOurs(const HostedPort& server) const {
    if (server.pid < 1 || m_strangers.contains(server.pid) ||
        !server.command.contains(QLatin1String("python"), Qt::CaseInsensitive)) {
        return false;
    }
    return std::none_of(m_running.cbegin(), m_running.cend(),
                        [&](const QuickHostEntry& entry) { return entry.pid == server.pid; });
}

bool QuickHostRegistry::isPortOfOurs(qint64 port) const {
    for (const QuickHostEntry& entry : m_running) {
        if (entry.port == port && entry.pid > 0 && ::kill(entry.pid, 0) == 0) {
            return true;
        }
    }
    return false;
}

void QuickHostRegistry::adopt(const QList<HostedPort>& servers,
                              const QList<QuickHostPackage>& packages) {
    // The common case (nothing to adopt) costs no process lookups.
    const bool anyUnserved = std::any_of(packages.cbegin(), packages.cend(), [this](const auto& p) {
        return !m_running.contains(p.path);
    });
    const bool anyCandidate = std::any_of(servers.cbegin(), servers.cend(),
                                          [this](const auto& s) { return mayBeOurs(s); });
    if (!anyUnserved || !anyCandidate) {
        return;
    }
    const std::unique_ptr<ProcessSource> source = ScanPlatform::defaultSource();
    adopt(servers, packages, *source);
}

void QuickHostRegistry::adopt(const QList<HostedPort>& servers,
                              const QList<QuickHostPackage>& packages, ProcessSource& source) {
    QHash<QString, QString> packageOfFolder;  // served folder, links resolved -> package path
    for (const QuickHostPackage& package : packages) {
        const QString name = slug(package.path);
        if (m_running.contains(package.path) || !isServableSlug(name)) {
            continue;
        }
        for (const QString& root : {m_root, fallbackRoot()}) {
            const QString folder = QFileInfo(root + "/" + name).canonicalFilePath();
            if (!folder.isEmpty()) {
                packageOfFolder.insert(folder, package.path);
            }
        }
    }
    QSet<qint32> listed;
    for (const HostedPort& server : servers) {
        listed.insert(server.pid);
    }
    m_strangers.intersect(listed);  // ended servers' pids may come back as others
    QStringList roots;              // links resolved, as working folders are reported
    for (const QString& root : {m_root, fallbackRoot()}) {
        const QString real = QFileInfo(root).canonicalFilePath();
        if (!real.isEmpty()) {
            roots << real + "/";
        }
    }
    for (const HostedPort& server : servers) {
        if (packageOfFolder.isEmpty()) {
            return;
        }
        // Only we can enter a folder under our private root, so a server
        // working there is ours; the null signal confirms we may stop it.
        if (!mayBeOurs(server) || ::kill(server.pid, 0) != 0) {
            continue;
        }
        const QString cwd = source.workingDirectory(server.pid);
        if (!source.fullCommand(server.pid).contains(QLatin1String("http.server")) ||
            std::none_of(roots.cbegin(), roots.cend(),
                         [&](const QString& root) { return cwd.startsWith(root); })) {
            m_strangers.insert(server.pid);
            continue;
        }
        const QString path = packageOfFolder.take(cwd);
        if (!path.isEmpty()) {
            m_running.insert(path, QuickHostEntry{server.pid, server.port});
            qCInfo(lcQuickHost).noquote()
                << QStringLiteral(
                       "Took back the server of %1 on port %2 (pid %3), started by an "
                       "earlier run")
                       .arg(path)
                       .arg(server.port)
                       .arg(server.pid);
        }
    }
}

void QuickHostRegistry::stop(const QString& path) {
    if (const auto entry = info(path)) {
        qCInfo(lcQuickHost).noquote()
            << QStringLiteral("Stopping the server of %1 on port %2 (pid %3)")
                   .arg(path)
                   .arg(entry->port)
                   .arg(entry->pid);
        HostScanner::stop(entry->pid);
    }
    m_running.remove(path);
}

void QuickHostRegistry::pruneDead() {
    const auto snapshot = m_running;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        if (it->pid < 1 || ::kill(it->pid, 0) != 0) {
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
