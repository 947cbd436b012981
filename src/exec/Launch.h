#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include <sys/types.h>

// Starting a child process with posix_spawn. Internal to exec/; Shell.cpp
// runs and waits for what this starts.
namespace varnholt::spawn {

// Launches executable with stdin inherited, stdout on stdoutFd and stderr on
// stderrFd (each the null device when -1), in a session of its own or else a
// process group of its own, in our environment with each "NAME=value" of
// `environment` in place of the variable of that name. Returns the pid or -1.
pid_t launch(const QString& executable, const QStringList& arguments,
             const std::optional<QString>& cwd, int stdoutFd, int stderrFd, bool ownSession,
             const QStringList& environment = {});

}  // namespace varnholt::spawn
