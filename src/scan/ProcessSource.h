#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "ListeningSocket.h"

namespace varnholt {

// Whether a process with this short command name could own a server worth
// listing. An empty filter lets every process through.
using CommandFilter = std::function<bool(const QString& command)>;

// Where the scan gets its facts about processes. The scan's rules never ask
// how: the command-line tools and the native Linux readers both fit here.
class ProcessSource {
public:
    virtual ~ProcessSource() = default;

    // Every listening TCP socket (IPv4 and IPv6), in listing order.
    virtual QList<ListeningSocket> listeningSockets() = 0;

    // The same listing, where the source may leave out the sockets of any
    // process whose command fails mayOwnServer when that spares it work. It
    // is a hint, not a rule: a source may ignore it (lsof lists everything in
    // one launch anyway), so the caller still applies its own rules.
    virtual QList<ListeningSocket> listeningSockets(const CommandFilter& mayOwnServer) {
        (void)mayOwnServer;
        return listeningSockets();
    }

    // The listening sockets of the last listing that no process we may read
    // holds (another user's, root's), with the owner where the source can
    // tell. A socket of a container forwarder the source recognises comes
    // with that forwarder's pid and command.
    virtual QList<ListeningSocket> hiddenListeners() { return {}; }

    // The full command line as `ps -o command=` prints it (with its line end),
    // or the empty text when the process cannot be read.
    virtual QString fullCommand(qint32 pid) = 0;

    // The working directory, or the empty text when it cannot be read.
    virtual QString workingDirectory(qint32 pid) = 0;
};

}  // namespace varnholt
