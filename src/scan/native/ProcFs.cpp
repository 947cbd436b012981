#include "ProcFs.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace varnholt::ProcFs {

std::optional<qint32> pidOf(const char* name) {
    const char* end = name + std::strlen(name);
    qint32 pid = 0;
    const auto [last, ec] = std::from_chars(name, end, pid);
    if (ec != std::errc() || last != end || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

namespace {

std::optional<QByteArray> readSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    QByteArray content;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof(chunk));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        content.append(chunk, n);
    }
    ::close(fd);
    return content;
}

std::string pidPath(const std::string& root, qint32 pid, const char* leaf) {
    return root + '/' + std::to_string(pid) + '/' + leaf;
}

}  // namespace

std::optional<quint32> socketInode(std::string_view link) {
    constexpr std::string_view prefix = "socket:[";
    if (link.size() <= prefix.size() + 1 || link.substr(0, prefix.size()) != prefix ||
        link.back() != ']') {
        return std::nullopt;
    }
    const std::string_view digits = link.substr(prefix.size(), link.size() - prefix.size() - 1);
    quint32 inode = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), inode);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return inode;
}

namespace {

// Appends the descriptors of root/[pid]/fd that refer to one of the inodes;
// nothing when the folder cannot be read (another user's process, or one
// that just ended).
void appendHolders(int rootFd, qint32 pid, const std::unordered_set<quint32>& inodes,
                   QList<SocketHolder>& into) {
    forEachSocketAt(rootFd, pid, [&](int fd, quint32 inode) {
        if (inodes.contains(inode)) {
            into.append({pid, fd, inode});
        }
    });
}

}  // namespace

bool forEachSocketAt(int rootFd, qint32 pid, const std::function<void(int, quint32)>& visit) {
    char fdPath[32];
    std::snprintf(fdPath, sizeof(fdPath), "%d/fd", pid);
    const int fdDir = ::openat(rootFd, fdPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir < 0) {
        return false;
    }
    DIR* descriptors = ::fdopendir(fdDir);
    if (!descriptors) {
        ::close(fdDir);
        return false;
    }
    char link[64];
    while (const dirent* entry = ::readdir(descriptors)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
            continue;
        }
        const ssize_t length = ::readlinkat(fdDir, entry->d_name, link, sizeof(link));
        if (length <= 0 || length >= ssize_t(sizeof(link))) {
            continue;
        }
        const auto inode = socketInode(std::string_view(link, std::size_t(length)));
        if (!inode) {
            continue;
        }
        int fd = 0;
        std::from_chars(entry->d_name, entry->d_name + std::strlen(entry->d_name), fd);
        visit(fd, *inode);
    }
    ::closedir(descriptors);
    return true;
}

std::optional<quint32> socketInodeAt(int rootFd, qint32 pid, int fd) {
    char path[48];
    std::snprintf(path, sizeof(path), "%d/fd/%d", pid, fd);
    char link[64];
    const ssize_t length = ::readlinkat(rootFd, path, link, sizeof(link));
    if (length <= 0 || length >= ssize_t(sizeof(link))) {
        return std::nullopt;
    }
    return socketInode(std::string_view(link, std::size_t(length)));
}

std::optional<ProcStatParser::ProcessStat> statAt(int rootFd, qint32 pid) {
    char path[32];
    std::snprintf(path, sizeof(path), "%d/stat", pid);
    const int fd = ::openat(rootFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    // A stat line is a few hundred bytes and comes in one read.
    char line[1024];
    ssize_t length;
    do {
        length = ::read(fd, line, sizeof(line));
    } while (length < 0 && errno == EINTR);
    ::close(fd);
    if (length <= 0) {
        return std::nullopt;
    }
    return ProcStatParser::parse(QByteArray::fromRawData(line, length));
}

std::optional<QString> commandNameAt(int rootFd, qint32 pid, const std::string& root) {
    char path[32];
    std::snprintf(path, sizeof(path), "%d/comm", pid);
    const int fd = ::openat(rootFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    // The kernel keeps 15 bytes of a name and hands it over in one read; a
    // read that leaves the buffer part empty has therefore seen it all.
    char name[64];
    ssize_t length;
    do {
        length = ::read(fd, name, sizeof(name));
    } while (length < 0 && errno == EINTR);
    ::close(fd);
    if (length < 0) {
        return std::nullopt;
    }
    if (length == ssize_t(sizeof(name))) {
        return commandName(pid, root);  // not the kernel's: read it whole
    }
    if (length > 0 && name[length - 1] == '\n') {
        --length;
    }
    return QString::fromUtf8(name, length);
}

namespace {

bool byPidThenFd(const SocketHolder& a, const SocketHolder& b) {
    return a.pid != b.pid ? a.pid < b.pid : a.fd < b.fd;
}

}  // namespace

QList<SocketHolder> holdersOf(const std::unordered_set<quint32>& inodes, const std::string& root) {
    QList<SocketHolder> holders;
    if (inodes.empty()) {
        return holders;
    }
    DIR* processes = ::opendir(root.c_str());
    if (!processes) {
        return holders;
    }
    while (const dirent* process = ::readdir(processes)) {
        if (const auto pid = pidOf(process->d_name)) {
            appendHolders(::dirfd(processes), *pid, inodes, holders);
        }
    }
    ::closedir(processes);
    std::sort(holders.begin(), holders.end(), byPidThenFd);
    return holders;
}

QList<NamedHolder> namedHoldersOf(const std::unordered_set<quint32>& inodes,
                                  const std::string& root,
                                  const std::function<bool(const QString&)>& mayHold) {
    QList<NamedHolder> named;
    if (inodes.empty()) {
        return named;
    }
    DIR* processes = ::opendir(root.c_str());
    if (!processes) {
        return named;
    }
    const int rootFd = ::dirfd(processes);
    QList<SocketHolder> ofProcess;
    while (const dirent* process = ::readdir(processes)) {
        const auto pid = pidOf(process->d_name);
        if (!pid) {
            continue;
        }
        std::optional<QString> command;
        if (mayHold) {
            command = commandNameAt(rootFd, *pid, root);
            if (!command || !mayHold(*command)) {
                continue;
            }
        }
        ofProcess.clear();
        appendHolders(rootFd, *pid, inodes, ofProcess);
        if (ofProcess.isEmpty()) {
            continue;
        }
        if (!command) {
            // Without a filter only holders need their name.
            command = commandNameAt(rootFd, *pid, root);
            if (!command) {
                continue;  // ended between the walk and the name
            }
        }
        for (const SocketHolder& holder : ofProcess) {
            named.append({holder, *command});
        }
    }
    ::closedir(processes);
    std::sort(named.begin(), named.end(), [](const NamedHolder& a, const NamedHolder& b) {
        return byPidThenFd(a.holder, b.holder);
    });
    return named;
}

std::optional<QString> commandName(qint32 pid, const std::string& root) {
    if (pid <= 0) {
        return std::nullopt;
    }
    auto comm = readSmallFile(pidPath(root, pid, "comm"));
    if (!comm) {
        return std::nullopt;
    }
    if (comm->endsWith('\n')) {
        comm->chop(1);
    }
    return QString::fromUtf8(*comm);
}

QString formatCommandLine(const QByteArray& cmdline, const QString& comm) {
    qsizetype length = cmdline.size();
    while (length > 0 && cmdline.at(length - 1) == '\0') {
        --length;
    }
    if (length == 0) {
        // A process names itself (prctl), line breaks included; ps shows
        // those as "?" here too.
        QString name = comm;
        for (QChar& c : name) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
                c = QLatin1Char('?');
            }
        }
        return QLatin1Char('[') + name + QStringLiteral("]\n");
    }
    QByteArray text = cmdline.left(length);
    for (char& c : text) {
        if (c == '\0') {
            c = ' ';
        } else if ((c >= 0 && c < 0x20) || c == 0x7f) {
            c = '?';
        }
    }
    text.append('\n');
    return QString::fromUtf8(text);
}

QString fullCommand(qint32 pid, const std::string& root) {
    if (pid <= 0) {
        return {};
    }
    const auto cmdline = readSmallFile(pidPath(root, pid, "cmdline"));
    if (!cmdline) {
        return {};
    }
    QString comm;
    if (std::all_of(cmdline->begin(), cmdline->end(), [](char c) { return c == '\0'; })) {
        const auto name = commandName(pid, root);
        if (!name) {
            return {};
        }
        comm = *name;
    }
    return formatCommandLine(*cmdline, comm);
}

QString workingDirectory(qint32 pid, const std::string& root) {
    if (pid <= 0) {
        return {};
    }
    const std::string path = pidPath(root, pid, "cwd");
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || length >= target.size()) {
        return {};
    }
    target.truncate(length);
    return QString::fromUtf8(target);
}

}  // namespace varnholt::ProcFs
