#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>

#include "BeneathOpen.h"

namespace varnholt::serve {

namespace {

long openat2(int dirFd, const char* path, quint64 resolve) {
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = resolve;
    return ::syscall(SYS_openat2, dirFd, path, &how, sizeof how);
}

}  // namespace

int openBeneath(int dirFd, const QByteArray& relative, bool* linked) {
    static std::atomic<bool> hasOpenat2{true};
    if (linked != nullptr) {
        *linked = false;
    }
    if (hasOpenat2) {
        const char* path = relative.isEmpty() ? "." : relative.constData();
        // Most paths hold no link; those that do are opened again, links
        // followed while they stay beneath.
        long fd = openat2(dirFd, path, RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS);
        if (fd < 0 && errno == ELOOP) {
            fd = openat2(dirFd, path, RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS);
            if (linked != nullptr) {
                *linked = true;
            }
        }
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) {
            return int(fd);
        }
        hasOpenat2 = false;
    }
    return openByWalk(dirFd, relative);
}

int reopenForReading(int handle, bool folder) {
    struct stat st {};
    if (::fstat(handle, &st) != 0 || (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))) {
        return -1;
    }
    if (folder) {
        return ::openat(handle, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    // A path handle is opened for reading through its own entry in /proc,
    // which names exactly the file it holds.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(handle);
    return ::open(self.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
}

QByteArray realPath(int handle) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(handle);
    QByteArray buffer(4096, '\0');
    const ssize_t length = ::readlink(self.constData(), buffer.data(), size_t(buffer.size()));
    if (length <= 0 || length >= buffer.size()) {
        return {};
    }
    buffer.truncate(length);
    return buffer;
}

}  // namespace varnholt::serve
