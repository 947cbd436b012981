#include "LoopbackPorts.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "LoopbackSocket.h"
#include "PortHolder.h"

namespace varnholt::test {

quint16 freeLoopbackPort(bool ipv6) {
    LoopbackSocket probe(SOCK_STREAM, ipv6 ? AF_INET6 : AF_INET);
    return probe.bind(0);
}

std::optional<qint64> freePortBlock(qint64 from, qint64 to, int count) {
    const qint64 starts = to - from - count + 2;
    if (starts <= 0) {
        return std::nullopt;
    }
    // Test processes run side by side; starting at a spot of its own keeps
    // each from reaching for the same block as its neighbours.
    const qint64 offset = (static_cast<qint64>(::getpid()) * 7919) % starts;
    for (qint64 i = 0; i < starts; ++i) {
        const qint64 first = from + (offset + i) % starts;
        PortHolder probe;
        bool all = true;
        for (int k = 0; k < count && all; ++k) {
            all = probe.hold(first + k);
        }
        if (all) {
            return first;
        }
    }
    return std::nullopt;
}

bool acceptsConnection(const QString& host, quint16 port) {
    const bool v6 = host.contains(QLatin1Char(':'));
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_storage address{};
    socklen_t length;
    bool parsed;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&address);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        parsed = ::inet_pton(AF_INET6, host.toLatin1().constData(), &a->sin6_addr) == 1 &&
                 IN6_IS_ADDR_LOOPBACK(&a->sin6_addr);
        length = sizeof(*a);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&address);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        parsed = ::inet_pton(AF_INET, host.toLatin1().constData(), &a->sin_addr) == 1 &&
                 (ntohl(a->sin_addr.s_addr) >> 24) == 127;
        length = sizeof(*a);
    }
    // Tests talk to loopback only: any other address is refused unasked.
    const bool ok = parsed && ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return ok;
}

}  // namespace varnholt::test
