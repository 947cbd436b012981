#include "ProcNetTables.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <QFile>

#include "ProcNetParser.h"

namespace varnholt::ProcNetTables {

namespace {

std::optional<QList<InetSocket>> table(const std::string& root, const char* name, int family) {
    QFile file(QString::fromStdString(root + "/net/" + name));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return ProcNetParser::parse(file.readAll(), family);
}

}  // namespace

QList<InetSocket> listeners(int family, const std::string& root) {
    QList<InetSocket> listening;
    for (const InetSocket& socket :
         table(root, family == AF_INET ? "tcp" : "tcp6", family).value_or(QList<InetSocket>())) {
        if (socket.state == TCP_LISTEN) {
            listening.append(socket);
        }
    }
    return listening;
}

std::optional<bool> portInUse(quint16 port, const std::string& root) {
    const struct {
        const char* name;
        int family;
    } tables[] = {{"tcp", AF_INET}, {"tcp6", AF_INET6}, {"udp", AF_INET}, {"udp6", AF_INET6}};
    bool readAny = false;
    for (const auto& t : tables) {
        const auto sockets = table(root, t.name, t.family);
        readAny = readAny || sockets.has_value();
        // TIME_WAIT entries and connections not yet accepted have no file
        // (inode 0) and so no process holding them.
        for (const InetSocket& s : sockets.value_or(QList<InetSocket>())) {
            if (s.inode != 0 && (s.port == port || s.remotePort == port)) {
                return true;
            }
        }
    }
    return readAny ? std::optional<bool>(false) : std::nullopt;
}

}  // namespace varnholt::ProcNetTables
