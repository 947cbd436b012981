#include "ProcFs.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace varnholt::ProcFs {

namespace {

// A pid directory name: digits only, fitting a positive 32-bit id.
std::optional<qint32> pidOf(const char* name) {
    const char* end = name + std::strlen(name);
    qint32 pid = 0;
    const auto [last, ec] = std::from_chars(name, end, pid);
    if (ec != std::errc() || last != end || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

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

QList<SocketHolder> holdersOf(const std::unordered_set<quint32>& inodes, const std::string& root) {
    QList<SocketHolder> holders;
    if (inodes.empty()) {
        return holders;
    }
    DIR* processes = ::opendir(root.c_str());
    if (!processes) {
        return holders;
    }
    const int rootFd = ::dirfd(processes);
    char fdPath[32];
    char link[64];
    while (const dirent* process = ::readdir(processes)) {
        const auto pid = pidOf(process->d_name);
        if (!pid) {
            continue;
        }
        std::snprintf(fdPath, sizeof(fdPath), "%d/fd", *pid);
        const int fdDir = ::openat(rootFd, fdPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdDir < 0) {
            continue;  // another user's process, or one that just ended
        }
        DIR* descriptors = ::fdopendir(fdDir);
        if (!descriptors) {
            ::close(fdDir);
            continue;
        }
        while (const dirent* entry = ::readdir(descriptors)) {
            if (entry->d_name[0] < '0' || entry->d_name[0] > '9') {
                continue;
            }
            const ssize_t length = ::readlinkat(fdDir, entry->d_name, link, sizeof(link));
            if (length <= 0 || length >= ssize_t(sizeof(link))) {
                continue;
            }
            const auto inode = socketInode(std::string_view(link, std::size_t(length)));
            if (!inode || !inodes.contains(*inode)) {
                continue;
            }
            int fd = 0;
            std::from_chars(entry->d_name, entry->d_name + std::strlen(entry->d_name), fd);
            holders.append({*pid, fd, *inode});
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    std::sort(holders.begin(), holders.end(), [](const SocketHolder& a, const SocketHolder& b) {
        return a.pid != b.pid ? a.pid < b.pid : a.fd < b.fd;
    });
    return holders;
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
        return QStringLiteral("[%1]\n").arg(comm);
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
