#include "BeneathOpen.h"

#include <QList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace varnholt::serve {

int openByWalk(int dirFd, const QByteArray& relative) {
    int current = ::openat(dirFd, ".", kHandleOnly | O_DIRECTORY | O_CLOEXEC);
    for (const QByteArray& name : relative.split('/')) {
        if (current < 0) {
            return -1;
        }
        if (name.isEmpty()) {
            continue;
        }
        if (name == "..") {
            ::close(current);
            errno = EXDEV;
            return -1;
        }
        const int next = ::openat(current, name.constData(), kHandleOnly | O_NOFOLLOW | O_CLOEXEC);
        ::close(current);
        current = next;
        struct stat st {};
        if (current >= 0 && (::fstat(current, &st) != 0 || S_ISLNK(st.st_mode))) {
            ::close(current);
            errno = ELOOP;
            return -1;
        }
    }
    return current;
}

}  // namespace varnholt::serve
