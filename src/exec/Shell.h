#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace varnholt {

// Short system probes (listings, ps, cwd lookups, port tests, network
// identity) give up after this long: lsof can hang forever on a stale network
// mount, and the panel must not freeze with it.
inline constexpr std::chrono::milliseconds kProbeTimeLimit{10'000};

// Runs executable (an absolute path, no shell, no PATH search) with the
// arguments, waits for it, and returns its standard output decoded as UTF-8.
// Standard error is discarded. Any failure (cannot start, bad cwd, invalid
// UTF-8, time limit reached) gives the empty text. Without a time limit the
// call waits as long as the child runs.
QString shell(const QString& executable, const QStringList& arguments,
              const std::optional<QString>& cwd = std::nullopt,
              std::optional<std::chrono::milliseconds> timeLimit = std::nullopt);

// What a finished command left behind, for callers that must tell success
// from failure and say why.
struct CommandResult {
    bool ran = false;      // launched, finished in time and fully read
    int exitStatus = -1;   // its exit code; -1 when it did not exit normally
    QByteArray output;     // standard output, as printed
    QByteArray errorTail;  // the last kErrorTailBytes of standard error
    static constexpr qsizetype kErrorTailBytes = 16 * 1024;
};

// shell() that also keeps the exit status and standard error.
CommandResult runCommand(const QString& executable, const QStringList& arguments,
                         const std::optional<QString>& cwd = std::nullopt,
                         std::optional<std::chrono::milliseconds> timeLimit = std::nullopt);

// shell() with kProbeTimeLimit.
QString probe(const QString& executable, const QStringList& arguments,
              const std::optional<QString>& cwd = std::nullopt);

// Starts a long-lived program in its own session with its output sent to the
// null device and returns its pid at once, or -1 when it cannot start. The
// child is reaped when it ends, so a null signal reports it gone. It inherits
// our environment, except that each "NAME=value" of `environment` replaces
// the variable of that name.
qint32 shellBackground(const QString& executable, const QStringList& arguments,
                       const std::optional<QString>& cwd = std::nullopt,
                       const QStringList& environment = {});

}  // namespace varnholt
