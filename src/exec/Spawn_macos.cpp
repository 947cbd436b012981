#include <crt_externs.h>
#include <fcntl.h>
#include <unistd.h>

#include "Spawn.h"

namespace varnholt::spawn {

bool makePipe(int fds[2]) {
    // No pipe2 here; the short window before FD_CLOEXEC is set only matters to
    // other launchers, since our own children close everything anyway.
    if (::pipe(fds) != 0) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        if (::fcntl(fds[i], F_SETFD, FD_CLOEXEC) != 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return false;
        }
    }
    return true;
}

bool keepOnlyStandardDescriptors(posix_spawn_file_actions_t* actions, short* flags) {
    // With CLOEXEC_DEFAULT only descriptors named by file actions survive, so
    // stdin has to be named explicitly to stay inherited.
    *flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
    return ::posix_spawn_file_actions_addinherit_np(actions, STDIN_FILENO) == 0;
}

// A static library may end up in a bundle where `environ` is not linkable.
char** environment() {
    return *::_NSGetEnviron();
}

}  // namespace varnholt::spawn
