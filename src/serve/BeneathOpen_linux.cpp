#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>

#include "BeneathOpen.h"

namespace varnholt::serve {

int openBeneath(int dirFd, const QByteArray& relative) {
    static std::atomic<bool> hasOpenat2{true};
    if (hasOpenat2) {
        open_how how{};
        how.flags = O_PATH | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const char* path = relative.isEmpty() ? "." : relative.constData();
        const long fd = ::syscall(SYS_openat2, dirFd, path, &how, sizeof how);
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
