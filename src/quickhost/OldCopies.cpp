#include "OldCopies.h"

#include <QFile>
#include <QList>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnholt::OldCopies {

namespace {

// The names in a folder, as bytes: the toolkit's listings skip names that
// are not valid UTF-8.
QList<QByteArray> rawEntries(int dirFd) {
    QList<QByteArray> names;
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* handle = fd < 0 ? nullptr : ::fdopendir(fd);
    if (handle == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return names;
    }
    while (const dirent* entry = ::readdir(handle)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names << name;
        }
    }
    ::closedir(handle);
    return names;
}

// Deletes name inside dirFd and everything under it, never following a
// link. Folders are opened up for ourselves first: a copy of a package with
// read-only folders cannot be emptied as it is.
void removeAt(int dirFd, const QByteArray& name) {
    struct stat st {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        ::unlinkat(dirFd, name.constData(), 0);
        return;
    }
    const int inner =
        ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (inner < 0) {
        return;
    }
    if ((st.st_mode & S_IRWXU) != S_IRWXU) {
        ::fchmod(inner, (st.st_mode & 07777) | S_IRWXU);
    }
    for (const QByteArray& child : rawEntries(inner)) {
        removeAt(inner, child);
    }
    ::close(inner);
    ::unlinkat(dirFd, name.constData(), AT_REMOVEDIR);
}

}  // namespace

bool removeCopy(const QString& root, const QString& slug) {
    const int fd = ::open(QFile::encodeName(root).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return true;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok || st.st_uid != ::geteuid() || ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)) {
        ::close(fd);
        return true;  // not ours to clean
    }
    const QByteArray name = QFile::encodeName(slug);
    removeAt(fd, name);
    ok = ::fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0;
    ::close(fd);
    return ok;
}

}  // namespace varnholt::OldCopies
