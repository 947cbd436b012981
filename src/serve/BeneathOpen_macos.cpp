#include <fcntl.h>
#include <sys/param.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BeneathOpen.h"

namespace varnholt::serve {

// No resolving open here: the walk refuses every link.
int openBeneath(int dirFd, const QByteArray& relative, bool* linked) {
    if (linked != nullptr) {
        *linked = false;
    }
    return openByWalk(dirFd, relative);
}

int reopenForReading(int handle, bool folder) {
    struct stat st {};
    if (::fstat(handle, &st) != 0 || (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))) {
        return -1;
    }
    return ::openat(handle, ".", O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
}

QByteArray realPath(int handle) {
    char buffer[MAXPATHLEN] = {};
    return ::fcntl(handle, F_GETPATH, buffer) == 0 ? QByteArray(buffer) : QByteArray();
}

}  // namespace varnholt::serve
