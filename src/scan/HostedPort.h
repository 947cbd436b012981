#pragma once

#include <QString>

namespace varnholt {

// One listening server as the panel lists it.
struct HostedPort {
    // Who may stop it, and how: a process of ours by signal, a container
    // through its engine, another user's program not at all.
    enum class Kind { Process, OtherUser, Container };

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
    Kind kind = Kind::Process;
    // A container's engine ("docker" or "podman") and id; empty when the
    // port is known from the socket table alone.
    QString engine{};
    QString containerId{};
    // What follows "http://ADDRESS:PORT/" in the links the row hands out:
    // a private quick host's secret path, empty for everything else.
    QString linkPath{};
};

}  // namespace varnholt
