#include <fcntl.h>
#include <unistd.h>

#include "Spawn.h"

extern char** environ;

namespace varnholt::spawn {

bool makePipe(int fds[2]) {
    return ::pipe2(fds, O_CLOEXEC) == 0;
}

bool keepOnlyStandardDescriptors(posix_spawn_file_actions_t* actions, short*) {
    // glibc runs this after the earlier dup2/open actions, so the pipe end that
    // became stdout survives while its original descriptor is closed.
    return ::posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1) == 0;
}

char** environment() {
    return environ;
}

}  // namespace varnholt::spawn
