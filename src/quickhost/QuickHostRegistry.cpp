#include "QuickHostRegistry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "PortPolicy.h"
#include "exec/Shell.h"
#include "exec/Tools.h"
#include "scan/HostScanner.h"

namespace varnholt {

namespace {

// The served folder must be a direct child of the root: a slug like ".."
// would make the fresh-copy step delete the root's parent.
bool isServableSlug(const QString& slug) {
    return !slug.isEmpty() && slug != "." && slug != ".." && !slug.contains('/') &&
           !slug.contains(QChar(0));
}

// The root lies in a folder every user may write to. Serve through it only
// when it is a real folder of our own that nobody else can write into, so no
// other local user can plant a link that we would delete through or swap
// content into a copy we serve.
bool makePrivateRoot(const QString& root) {
    const QByteArray name = QFile::encodeName(root);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT) {
            return false;
        }
        const QString parent = QFileInfo(root).absolutePath();
        QDir().mkpath(parent);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 077) != 0) {
        ok = ::fchmod(fd, 0700) == 0;
    }
    ::close(fd);
    return ok;
}

bool lexists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isRealDir(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Deletes whatever is at path without ever following a link.
void removePath(const QString& path) {
    if (isRealDir(path)) {
        QDir(path).removeRecursively();
    } else if (lexists(path)) {
        QFile::remove(path);
    }
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
    const QStringList names = QDir(source).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& name : names) {
        const QString target = dir + "/" + name;
        // rename() would silently replace an existing file; moves never do.
        if (lexists(target)) {
            continue;
        }
        ::rename(QFile::encodeName(source + "/" + name).constData(),
                 QFile::encodeName(target).constData());
    }
    removePath(source);
}

// rsync keeps only links that stay inside the package, but flattening moves
// the site's entries one level up, where a link like "../README" now leads out
// of the served folder. The server follows links, so none may lead out.
void removeEscapingLinks(const QString& dir) {
    const QString canonicalDir = QFileInfo(dir).canonicalFilePath();
    if (canonicalDir.isEmpty()) {
        return;
    }
    QStringList doomed;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isSymLink()) {
            continue;
        }
        const QString target = info.canonicalFilePath();
        if (target.isEmpty() ||
            (target != canonicalDir && !target.startsWith(canonicalDir + "/"))) {
            doomed << info.filePath();
        }
    }
    for (const QString& link : doomed) {
        QFile::remove(link);
    }
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

std::optional<QuickHostEntry> QuickHostRegistry::start(const QString& path, const QString&) {
    if (!QDir::isAbsolutePath(path) || !QFileInfo(path).isDir()) {
        return std::nullopt;
    }
    const QString name = slug(path);
    if (!isServableSlug(name) || !makePrivateRoot(m_root)) {
        return std::nullopt;
    }
    const QString dir = m_root + "/" + name;
    removePath(dir);

    // Copies the user's files, so it runs as long as the copy takes. Both
    // paths are absolute; the working folder is "/" because rsync refuses to
    // run at all when the app's own working folder has been deleted.
    shell(tools().rsync,
          {"-a", "--safe-links", "--exclude", "Varnholt.command", "--exclude", "HOW TO SHARE.txt",
           path + "/", dir + "/"},
          QDir::rootPath());
    flattenSite(dir);
    removeEscapingLinks(dir);

    const auto range =
        PortPolicy::bindableRange(m_firstPort, m_lastPort, PortPolicy::lowestBindablePort());
    if (!range) {
        return std::nullopt;
    }
    const auto port = HostScanner::firstFreePort(range->first, range->second);
    if (!port) {
        return std::nullopt;
    }
    const qint32 pid = shellBackground(
        tools().python3, {"-m", "http.server", QString::number(*port), "--bind", "0.0.0.0"}, dir);
    if (pid < 1) {
        return std::nullopt;
    }
    const QuickHostEntry entry{pid, *port};
    m_running.insert(path, entry);
    return entry;
}

void QuickHostRegistry::stop(const QString& path) {
    if (const auto entry = info(path)) {
        HostScanner::stop(entry->pid);
    }
    m_running.remove(path);
}

void QuickHostRegistry::pruneDead() {
    const auto snapshot = m_running;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        if (it->pid < 1 || ::kill(it->pid, 0) != 0) {
            m_running.remove(it.key());
        }
    }
}

QString QuickHostRegistry::slug(const QString& path) {
    return HostScanner::lastPathComponent(path).toLower().replace(' ', '-');
}

}  // namespace varnholt
