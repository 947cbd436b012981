#pragma once

#include <QString>

namespace varnholt {

// One listening server as the panel lists it.
struct HostedPort {
    qint32 pid = 0;  // 0 when the listing gave no readable id: never signal it
    QString command;
    qint64 port = 0;
    QString scope;  // "LOCAL" or "NET"
    QString friendlyName;
    // What the row's tooltip and menu show; empty when the source could not
    // tell. fullCommand is the command line without its line end, address
    // the host part of the listening socket ("*", "127.0.0.1", "[::1]"), and
    // servedFolder the absolute folder the name came from.
    QString fullCommand{};
    QString address{};
    QString servedFolder{};
};

}  // namespace varnholt
