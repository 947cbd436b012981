#pragma once

#include <QString>

#include <optional>

namespace varnholt {

// One listening TCP socket as a source reports it, before any rule applies.
// `name` is host and port joined by a colon, as lsof prints it: "*:3000",
// "127.0.0.1:8000", "[::1]:5173".
struct ListeningSocket {
    qint32 pid = 0;
    QString command;  // short command name (what lsof and /proc/PID/comm give)
    QString name;
    // The socket's owner as the socket table gives it; set only for sockets
    // whose process cannot be seen (pid 0).
    std::optional<quint32> ownerUid{};
};

}  // namespace varnholt
