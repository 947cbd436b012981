#include "ReceivedFolder.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "Log.h"
#include "UploadName.h"
#include "quickhost/ReceivedLog.h"

namespace varnholt::serve {

namespace {

// Enough tries for a folder full of "photo (n).jpg"; past them the upload
// fails rather than loop.
constexpr int kNameTries = 10000;

int openFolder(int packageFd) {
    return ::openat(packageFd, ReceivedFolder::kName,
                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Moves from to to within the folder, failing with EEXIST rather than
// replace a file that is there.
bool moveNoReplace(int dirFd, const char* from, const char* to) {
#ifdef __APPLE__
    return ::renameatx_np(dirFd, from, dirFd, to, RENAME_EXCL) == 0;
#else
    if (::renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: a hard link is just as exclusive.
    if (::linkat(dirFd, from, dirFd, to, 0) != 0) {
        return false;
    }
    ::unlinkat(dirFd, from, 0);
    return true;
#endif
}

}  // namespace

std::unique_ptr<ReceivedFolder> ReceivedFolder::open(int packageFd) {
    int fd = openFolder(packageFd);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(packageFd, kName, 0755) != 0 && errno != EEXIST) {
            qCWarning(lcServe).noquote()
                << "Cannot create the Received folder:" << std::strerror(errno);
            return nullptr;
        }
        fd = openFolder(packageFd);
    }
    if (fd < 0) {
        const bool odd = errno == ELOOP || errno == ENOTDIR;
        qCWarning(lcServe).noquote()
            << "Refusing uploads:"
            << (odd ? "Received is a link or not a folder" : "cannot open the Received folder:")
            << (odd ? "" : std::strerror(errno));
        return nullptr;
    }
    return std::unique_ptr<ReceivedFolder>(new ReceivedFolder(fd));
}

ReceivedFolder::~ReceivedFolder() {
    ::close(m_fd);
}

ReceivedFolder::Temporary ReceivedFolder::createTemporary(mode_t mode) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = ".upload-";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
        }
        const int fd = ::openat(m_fd, name.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::fchmod(fd, mode);
            return {name, fd};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

QByteArray ReceivedFolder::publish(const QByteArray& temporary, const QByteArray& wanted) {
    for (int n = 1; n <= kNameTries; ++n) {
        const QByteArray name = numberedName(wanted, n);
        if (moveNoReplace(m_fd, temporary.constData(), name.constData())) {
            return name;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    errno = EEXIST;
    return {};
}

void ReceivedFolder::remove(const QByteArray& temporary) {
    ::unlinkat(m_fd, temporary.constData(), 0);
}

bool ReceivedFolder::record(int packageFd, const ReceivedFile& file) {
    const QByteArray line = ReceivedLog::line(file);
    if (line.isEmpty()) {
        return false;
    }
    const int fd = ::openat(packageFd, ReceivedLog::kFileName,
                            O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size();
    ::close(fd);
    return written;
}

}  // namespace varnholt::serve
