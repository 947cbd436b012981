#include "NativeLinuxSource.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

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

}  // namespace

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
    for (const ProcFs::NamedHolder& owner : m_owners->holdersOf(inodes)) {
        if (mayOwnServer && !mayOwnServer(owner.command)) {
            continue;
        }
        const InetSocket& socket = sockets[byInode.at(owner.holder.inode)];
        result.append({owner.holder.pid, owner.command, SocketName::local(socket)});
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
