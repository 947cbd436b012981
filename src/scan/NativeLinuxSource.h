#pragma once

#include <QHash>

#include <memory>
#include <optional>

#include "ProcessSource.h"
#include "scan/native/InetSocket.h"
#include "scan/native/OwnerCache.h"

namespace varnholt {

// The scan's facts read natively on Linux: listening TCP sockets from the
// kernel's sock_diag interface (or /proc/net/tcp and tcp6 where that is
// refused), their processes from /proc/[pid]/fd (through an owner cache that
// keeps what earlier scans learned), and names, command lines and working
// directories from /proc. One scan costs a few milliseconds where lsof and ps
// cost hundreds, and the text matches what those tools print.
// The port a docker-proxy command line forwards (its -host-port argument).
std::optional<quint16> dockerProxyHostPort(const QString& fullCommand);

class NativeLinuxSource : public ProcessSource {
public:
    // procRoot lets tests point the reader at a prepared tree; without
    // sock_diag the sockets come from procRoot/net/tcp and tcp6 alone. Sources
    // that share owners (of the same procRoot) build on each other's scans;
    // without it the source keeps its own, and its first listing walks every
    // process.
    explicit NativeLinuxSource(std::string procRoot = "/proc", bool useSockDiag = true,
                               std::shared_ptr<OwnerCache> owners = nullptr);

    // One entry per process and descriptor holding a listening socket, by
    // pid and then descriptor. A socket whose holder cannot be read is left
    // out rather than reported without a process.
    QList<ListeningSocket> listeningSockets() override;
    // The same, leaving out processes whose short command name, read at this
    // listing, fails mayOwnServer.
    QList<ListeningSocket> listeningSockets(const CommandFilter& mayOwnServer) override;
    // The last listing's sockets that no readable process holds, with the
    // uid the kernel gives; a docker-proxy's (root's) is told by the
    // -host-port of its command line, which anyone may read.
    QList<ListeningSocket> hiddenListeners() override;
    QString fullCommand(qint32 pid) override;
    QString workingDirectory(qint32 pid) override;

private:
    std::string m_procRoot;
    bool m_useSockDiag;
    std::shared_ptr<OwnerCache> m_owners;
    // Facts read during the current scan only; each listing starts afresh.
    QList<InetSocket> m_hidden;
    QHash<qint32, QString> m_fullCommands;
    QHash<qint32, QString> m_workingDirectories;
};

}  // namespace varnholt
