#pragma once

#include <spawn.h>

// The few process-launch details that differ between platforms. Internal to
// exec/; the common launch code lives in Shell.cpp.
namespace varnholt::spawn {

// A pipe whose two ends are both close-on-exec, so no other child started
// meanwhile (by us or by a library) inherits them.
bool makePipe(int fds[2]);

// Arranges that the child keeps only descriptors 0, 1 and 2 (after the
// redirections already added to actions) and none of the app's other files
// or sockets. May add to flags, which the caller passes to
// posix_spawnattr_setflags afterwards. Must be called after every
// redirection has been added.
bool keepOnlyStandardDescriptors(posix_spawn_file_actions_t* actions, short* flags);

// The environment the child inherits unchanged.
char** environment();

}  // namespace varnholt::spawn
