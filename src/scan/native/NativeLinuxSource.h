#pragma once

#include <QHash>

#include "scan/ProcessSource.h"

namespace varnholt {

// The scan's facts read natively on Linux: listening TCP sockets from the
// kernel's sock_diag interface (or /proc/net/tcp and tcp6 where that is
// refused), their processes from /proc/[pid]/fd, and names, command lines and
// working directories from /proc. One scan costs a few milliseconds where
// lsof and ps cost hundreds, and the text matches what those tools print.
class NativeLinuxSource : public ProcessSource {
public:
    // procRoot lets tests point the reader at a prepared tree; without
    // sock_diag the sockets come from procRoot/net/tcp and tcp6 alone.
    explicit NativeLinuxSource(std::string procRoot = "/proc", bool useSockDiag = true);

    // One entry per process and descriptor holding a listening socket, by
    // pid and then descriptor. A socket whose holder cannot be read is left
    // out rather than reported without a process.
    QList<ListeningSocket> listeningSockets() override;
    // The same, walking the descriptors only of processes whose short command
    // name passes mayOwnServer; each process's name is read first, which is
    // far cheaper than its descriptors.
    QList<ListeningSocket> listeningSockets(const CommandFilter& mayOwnServer) override;
    QString fullCommand(qint32 pid) override;
    QString workingDirectory(qint32 pid) override;

private:
    std::string m_procRoot;
    bool m_useSockDiag;
    // Facts read during the current scan only; each listing starts afresh.
    QHash<qint32, QString> m_fullCommands;
    QHash<qint32, QString> m_workingDirectories;
};

}  // namespace varnholt
