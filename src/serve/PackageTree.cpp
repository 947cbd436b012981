#include "PackageTree.h"

#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "BeneathOpen.h"
#include "ServedNames.h"

namespace varnholt::serve {

namespace {

QByteArray joined(const QList<QByteArray>& names) {
    QByteArray path;
    for (const QByteArray& name : names) {
        if (!path.isEmpty()) {
            path += '/';
        }
        path += name;
    }
    return path;
}

}  // namespace

std::unique_ptr<PackageTree> PackageTree::open(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), kHandleOnly | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    QByteArray name = folder;
    while (name.size() > 1 && name.endsWith('/')) {
        name.chop(1);
    }
    name = name.mid(name.lastIndexOf('/') + 1);
    return std::unique_ptr<PackageTree>(new PackageTree(fd, name));
}

PackageTree::PackageTree(int rootFd, QByteArray name) : m_rootFd(rootFd), m_name(std::move(name)) {}

PackageTree::~PackageTree() {
    ::close(m_rootFd);
}

// Looked up on every request, so a site added or removed shows at once.
int PackageTree::openSite() const {
    const int site = ::openat(m_rootFd, "site", kHandleOnly | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (site < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstatat(site, "index.html", &st, 0) != 0) {
        ::close(site);
        return -1;
    }
    return site;
}

int PackageTree::baseFor(const QList<QByteArray>& names) const {
    const int site = names.isEmpty() ? -1 : openSite();
    if (site >= 0) {
        struct stat st {};
        // The site's own folder is hidden at the root, so "site" is looked
        // up inside it; any other root entry wins over the site's.
        if (names.front() == "site" ||
            ::fstatat(m_rootFd, names.front().constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return site;
        }
        ::close(site);
    }
    return -1;
}

// A link may stay inside the package and still lead to a hidden name or to
// the companion's files; what was opened is checked by where it really is.
bool PackageTree::staysServable(int handle) const {
    const QByteArray root = realPath(m_rootFd);
    const QByteArray real = realPath(handle);
    if (root.isEmpty() || real.isEmpty()) {
        return false;
    }
    if (real == root) {
        return true;
    }
    const QByteArray prefix = root == "/" ? root : root + '/';
    if (!real.startsWith(prefix)) {
        return false;
    }
    for (const QByteArray& name : real.mid(prefix.size()).split('/')) {
        if (!isServableName(name)) {
            return false;
        }
    }
    return true;
}

PackageTree::Target PackageTree::find(const QList<QByteArray>& names) const {
    Target target;
    const int site = baseFor(names);
    bool linked = false;
    const int handle = openBeneath(site >= 0 ? site : m_rootFd, joined(names), &linked);
    if (site >= 0) {
        ::close(site);
    }
    if (handle < 0) {
        return target;
    }
    // Without a link on the way, the names walked are those asked for, each
    // already known to be servable.
    struct stat st {};
    if (::fstat(handle, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) &&
        (!linked || staysServable(handle))) {
        const bool folder = S_ISDIR(st.st_mode);
        target.fd = reopenForReading(handle, folder);
        if (target.fd >= 0 && ::fstat(target.fd, &target.st) == 0) {
            target.kind = folder ? Target::Kind::Folder : Target::Kind::File;
        } else if (target.fd >= 0) {
            ::close(target.fd);
            target.fd = -1;
        }
    }
    ::close(handle);
    return target;
}

void PackageTree::listInto(int handle, const QList<QByteArray>& names, QList<Entry>& into,
                           QList<QByteArray>* seen) const {
    const int fd = reopenForReading(handle, true);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (dir == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (seen != nullptr) {
            seen->append(name);
        }
        if (!isServableName(name)) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            // Listed only when a visitor could open it.
            const Target target = find(QList<QByteArray>(names) << name);
            if (target.fd < 0) {
                continue;
            }
            st = target.st;
            ::close(target.fd);
        }
        if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
            into.append(Entry{name, S_ISDIR(st.st_mode), qint64(st.st_size), qint64(st.st_mtime),
                              st.st_dev, st.st_ino});
        }
    }
    ::closedir(dir);
}

QList<PackageTree::Entry> PackageTree::list(const QList<QByteArray>& names) const {
    QList<Entry> entries;
    const int site = baseFor(names);
    bool linked = false;
    const int handle = openBeneath(site >= 0 ? site : m_rootFd, joined(names), &linked);
    if (site >= 0) {
        ::close(site);
    }
    if (handle < 0) {
        return entries;
    }
    if (!names.isEmpty()) {
        if (!linked || staysServable(handle)) {
            listInto(handle, names, entries, nullptr);
        }
        ::close(handle);
        return entries;
    }
    QList<QByteArray> rootNames;
    listInto(handle, names, entries, &rootNames);
    ::close(handle);
    const int siteFolder = openSite();
    if (siteFolder < 0) {
        return entries;
    }
    entries.removeIf([](const Entry& entry) { return entry.name == "site"; });
    const QSet<QByteArray> taken(rootNames.cbegin(), rootNames.cend());
    QList<Entry> siteEntries;
    listInto(siteFolder, {}, siteEntries, nullptr);
    ::close(siteFolder);
    for (const Entry& entry : siteEntries) {
        if (!taken.contains(entry.name) || entry.name == "site") {
            entries.append(entry);
        }
    }
    return entries;
}

}  // namespace varnholt::serve
