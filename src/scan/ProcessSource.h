#pragma once

#include <QList>
#include <QString>

#include "ListeningSocket.h"

namespace varnholt {

// Where the scan gets its facts about processes. The scan's rules never ask
// how: the command-line tools and the native Linux readers both fit here.
class ProcessSource {
public:
    virtual ~ProcessSource() = default;

    // Every listening TCP socket (IPv4 and IPv6), in listing order.
    virtual QList<ListeningSocket> listeningSockets() = 0;

    // The full command line as `ps -o command=` prints it (with its line end),
    // or the empty text when the process cannot be read.
    virtual QString fullCommand(qint32 pid) = 0;

    // The working directory, or the empty text when it cannot be read.
    virtual QString workingDirectory(qint32 pid) = 0;
};

}  // namespace varnholt
