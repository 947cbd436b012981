#include "NativeLinuxSource.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <dirent.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "scan/native/ProcFs.h"
#include "scan/native/ProcNetTables.h"
#include "scan/native/SockDiag.h"
#include "scan/native/SocketName.h"

namespace varnholt {

namespace {

// Both families from one sock_diag exchange; else each family from
// sock_diag, or from its /proc/net table where the kernel refuses (no
// inet_diag, a sandbox without netlink, IPv6 switched off).
QList<InetSocket> listeners(const std::string& procRoot, bool useSockDiag) {
    if (useSockDiag) {
        if (auto both = SockDiag::dumpTcpBothFamilies(1u << TCP_LISTEN)) {
            return *both;
        }
    }
    QList<InetSocket> all;
    for (const int family : {AF_INET, AF_INET6}) {
        auto sockets =
            useSockDiag ? SockDiag::dump(family, IPPROTO_TCP, 1u << TCP_LISTEN) : std::nullopt;
        all.append(sockets ? *sockets : ProcNetTables::listeners(family, procRoot));
    }
    return all;
}

// The ports root's docker-proxy processes forward, by port. Walking every
// process's name costs about a millisecond, so it is redone only when the
// set of hidden listeners changes.
QHash<quint16, QString> proxyPorts(const std::string& procRoot, const QList<InetSocket>& hidden) {
    static std::mutex mutex;
    static std::string memoRoot;
    static std::vector<quint32> memoInodes;
    static QHash<quint16, QString> memo;
    std::vector<quint32> inodes;
    for (const InetSocket& socket : hidden) {
        inodes.push_back(socket.inode);
    }
    std::sort(inodes.begin(), inodes.end());
    const std::lock_guard lock(mutex);
    if (memoRoot == procRoot && memoInodes == inodes) {
        return memo;
    }
    memo.clear();
    if (DIR* processes = ::opendir(procRoot.c_str())) {
        while (const dirent* entry = ::readdir(processes)) {
            const auto pid = ProcFs::pidOf(entry->d_name);
            if (!pid) {
                continue;
            }
            const auto command = ProcFs::commandName(*pid, procRoot);
            if (!command || !command->startsWith(QLatin1String("docker-proxy"))) {
                continue;
            }
            if (const auto port = dockerProxyHostPort(ProcFs::fullCommand(*pid, procRoot))) {
                memo.insert(*port, *command);
            }
        }
        ::closedir(processes);
    }
    memoRoot = procRoot;
    memoInodes = std::move(inodes);
    return memo;
}

}  // namespace

std::optional<quint16> dockerProxyHostPort(const QString& fullCommand) {
    const QStringList arguments = fullCommand.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const qsizetype at = arguments.indexOf(QStringLiteral("-host-port"));
    if (at < 0 || at + 1 >= arguments.size()) {
        return std::nullopt;
    }
    bool ok = false;
    const uint port = arguments[at + 1].trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        return std::nullopt;
    }
    return quint16(port);
}

NativeLinuxSource::NativeLinuxSource(std::string procRoot, bool useSockDiag,
                                     std::shared_ptr<OwnerCache> owners)
    : m_procRoot(std::move(procRoot)),
      m_useSockDiag(useSockDiag),
      m_owners(owners ? std::move(owners) : std::make_shared<OwnerCache>(m_procRoot)) {}

QList<ListeningSocket> NativeLinuxSource::listeningSockets() {
    return listeningSockets(CommandFilter());
}

QList<ListeningSocket> NativeLinuxSource::listeningSockets(const CommandFilter& mayOwnServer) {
    m_fullCommands.clear();
    m_workingDirectories.clear();
    m_hidden.clear();

    const QList<InetSocket> sockets = listeners(m_procRoot, m_useSockDiag);
    std::unordered_map<quint32, qsizetype> byInode;
    std::unordered_set<quint32> inodes;
    for (qsizetype i = 0; i < sockets.size(); ++i) {
        if (sockets[i].inode != 0) {
            byInode.emplace(sockets[i].inode, i);
            inodes.insert(sockets[i].inode);
        }
    }

    QList<ListeningSocket> result;
    std::unordered_set<quint32> held;
    for (const ProcFs::NamedHolder& owner : m_owners->holdersOf(inodes)) {
        held.insert(owner.holder.inode);
        if (mayOwnServer && !mayOwnServer(owner.command)) {
            continue;
        }
        const InetSocket& socket = sockets[byInode.at(owner.holder.inode)];
        result.append({owner.holder.pid, owner.command, SocketName::local(socket)});
    }
    for (const InetSocket& socket : sockets) {
        if (socket.inode != 0 && !held.contains(socket.inode)) {
            m_hidden.append(socket);
        }
    }
    return result;
}

QList<ListeningSocket> NativeLinuxSource::hiddenListeners() {
    QList<ListeningSocket> result;
    if (m_hidden.isEmpty()) {
        return result;
    }
    const QHash<quint16, QString> proxies = proxyPorts(m_procRoot, m_hidden);
    for (const InetSocket& socket : m_hidden) {
        result.append({0, proxies.value(socket.port), SocketName::local(socket), socket.uid});
    }
    return result;
}

QString NativeLinuxSource::fullCommand(qint32 pid) {
    auto found = m_fullCommands.constFind(pid);
    if (found == m_fullCommands.constEnd()) {
        found = m_fullCommands.insert(pid, ProcFs::fullCommand(pid, m_procRoot));
    }
    return *found;
}

QString NativeLinuxSource::workingDirectory(qint32 pid) {
    auto found = m_workingDirectories.constFind(pid);
    if (found == m_workingDirectories.constEnd()) {
        found = m_workingDirectories.insert(pid, ProcFs::workingDirectory(pid, m_procRoot));
    }
    return *found;
}

}  // namespace varnholt
