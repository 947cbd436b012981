#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "ProcStatParser.h"

// Process facts read straight from /proc, in the same text the command-line
// tools print for them.
namespace varnholt::ProcFs {

// A process's file descriptor that refers to a socket.
struct SocketHolder {
    qint32 pid = 0;
    int fd = 0;
    quint32 inode = 0;

    bool operator==(const SocketHolder&) const = default;
};

// One walk over root/[pid]/fd: every descriptor that refers to one of the
// inodes, ordered by pid and then descriptor, as lsof lists them. Processes
// whose descriptors cannot be read (another user's, or gone) are skipped.
QList<SocketHolder> holdersOf(const std::unordered_set<quint32>& inodes,
                              const std::string& root = "/proc");

// A holder with the short command name of its process.
struct NamedHolder {
    SocketHolder holder;
    QString command;

    bool operator==(const NamedHolder&) const = default;
};

// The walk of holdersOf for a listing: each holder comes with its process's
// short command name, and a process whose name cannot be read is left out.
// With mayHold set, a process's name is read first and its descriptors only
// when mayHold accepts the name: reading every descriptor of every process is
// most of what a listing costs, and most processes are of no interest.
QList<NamedHolder> namedHoldersOf(const std::unordered_set<quint32>& inodes,
                                  const std::string& root,
                                  const std::function<bool(const QString&)>& mayHold);

// The inode of a descriptor link "socket:[12345]"; nullopt for anything else.
std::optional<quint32> socketInode(std::string_view link);

// --- Readers relative to an open /proc folder, for scans that read a few
// facts of many processes and would otherwise rebuild every path.

// A pid folder's name: digits only, fitting a positive 32-bit id.
std::optional<qint32> pidOf(const char* name);

// Calls visit(fd, inode) for each descriptor of the process that refers to a
// socket; false when its descriptors cannot be read (another user's process,
// one that made itself undumpable, or one that just ended).
bool forEachSocketAt(int rootFd, qint32 pid, const std::function<void(int, quint32)>& visit);

// The socket one descriptor refers to now: a single readlink. nullopt when it
// is closed, refers to something else, or cannot be read.
std::optional<quint32> socketInodeAt(int rootFd, qint32 pid, int fd);

// The process's parent and start time; nullopt when unreadable.
std::optional<ProcStatParser::ProcessStat> statAt(int rootFd, qint32 pid);

// commandName read in one call where commandName's loop needs two; root is
// used only for a name longer than the kernel keeps (a hand-built tree).
std::optional<QString> commandNameAt(int rootFd, qint32 pid, const std::string& root);

// The short command name (comm, what lsof prints), nullopt when unreadable.
std::optional<QString> commandName(qint32 pid, const std::string& root = "/proc");

// The command line as `ps -o command=` prints it, line end included; the
// empty text when the process cannot be read.
QString fullCommand(qint32 pid, const std::string& root = "/proc");

// ps's rendering of raw /proc/PID/cmdline bytes: arguments joined by single
// spaces (trailing empty arguments dropped), control characters shown as
// "?", and "[comm]" for a process without arguments (a kernel thread).
QString formatCommandLine(const QByteArray& cmdline, const QString& comm);

// The working directory, or the empty text when it cannot be read.
QString workingDirectory(qint32 pid, const std::string& root = "/proc");

}  // namespace varnholt::ProcFs
