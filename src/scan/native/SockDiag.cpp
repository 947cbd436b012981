#include "SockDiag.h"

#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>

#include "SockDiagParser.h"

namespace varnholt::SockDiag {

namespace {

// Large enough for the biggest message batch the kernel builds for a dump
// (it sizes batches from the reader's buffer, up to 32 KiB).
constexpr qsizetype kReceiveBuffer = 64 * 1024;
constexpr quint32 kAllStates = ~0u;

class NetlinkSocket {
public:
    NetlinkSocket() : m_fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG)) {
        if (m_fd >= 0) {
            // The kernel answers at once; this only guards against a wedged reply.
            timeval limit{.tv_sec = 2, .tv_usec = 0};
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        }
    }
    ~NetlinkSocket() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

quint32 nextSequence() {
    static std::atomic<quint32> sequence{1};
    return sequence++;
}

std::optional<QList<InetSocket>> exchange(const QByteArray& request, quint32 sequence) {
    NetlinkSocket socket;
    if (socket.fd() < 0) {
        return std::nullopt;
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent;
    do {
        sent = ::sendto(socket.fd(), request.constData(), request.size(), 0,
                        reinterpret_cast<const sockaddr*>(&kernel), sizeof(kernel));
    } while (sent < 0 && errno == EINTR);
    if (sent != request.size()) {
        return std::nullopt;
    }

    QList<InetSocket> sockets;
    QByteArray buffer(kReceiveBuffer, Qt::Uninitialized);
    for (;;) {
        iovec part{buffer.data(), std::size_t(buffer.size())};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        const ssize_t received = ::recvmsg(socket.fd(), &message, 0);
        if (received < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (received == 0 || (message.msg_flags & MSG_TRUNC)) {
            return std::nullopt;  // a lost tail would make a silent partial list
        }
        const SockDiagParser::Chunk chunk =
            SockDiagParser::parse(QByteArray::fromRawData(buffer.constData(), received), sequence);
        if (chunk.error != 0 || chunk.malformed) {
            return std::nullopt;
        }
        sockets.append(chunk.sockets);
        if (chunk.done) {
            return sockets;
        }
    }
}

}  // namespace

std::optional<QList<InetSocket>> dump(int family, int protocol, quint32 states,
                                      std::optional<quint16> port) {
    const quint32 sequence = nextSequence();
    return exchange(
        SockDiagParser::request(quint8(family), quint8(protocol), states, sequence, port),
        sequence);
}

std::optional<QList<InetSocket>> dumpTcpBothFamilies(quint32 states, std::optional<quint16> port) {
    const quint32 sequence = nextSequence();
    return exchange(SockDiagParser::tcpRequestBothFamilies(states, sequence, port), sequence);
}

std::optional<bool> portInUse(quint16 port) {
    // Cheapest questions first: listeners and UDP sockets sit in small
    // tables, while TCP connections mean a pass over the whole connection
    // table (about a millisecond on a machine with plenty of memory). A port
    // held by a server is answered without that pass.
    using Query = std::function<std::optional<QList<InetSocket>>(std::optional<quint16>)>;
    const Query queries[] = {
        [](auto p) { return dump(AF_INET, IPPROTO_TCP, 1u << TCP_LISTEN, p); },
        [](auto p) { return dump(AF_INET6, IPPROTO_TCP, 1u << TCP_LISTEN, p); },
        [](auto p) { return dump(AF_INET, IPPROTO_UDP, kAllStates, p); },
        [](auto p) { return dump(AF_INET6, IPPROTO_UDP, kAllStates, p); },
        [](auto p) -> std::optional<QList<InetSocket>> {
            if (auto both = dumpTcpBothFamilies(kAllStates & ~(1u << TCP_LISTEN), p)) {
                return both;
            }
            auto v4 = dump(AF_INET, IPPROTO_TCP, kAllStates & ~(1u << TCP_LISTEN), p);
            auto v6 = v4 ? dump(AF_INET6, IPPROTO_TCP, kAllStates & ~(1u << TCP_LISTEN), p)
                         : std::nullopt;
            if (!v6) {
                return std::nullopt;
            }
            v4->append(*v6);
            return v4;
        },
    };
    for (const Query& query : queries) {
        auto sockets = query(port);
        if (!sockets) {
            // A kernel that refuses the filter program still answers without
            // it; the port is then tested here.
            sockets = query(std::nullopt);
        }
        if (!sockets) {
            return std::nullopt;
        }
        // TIME_WAIT entries and connections not yet accepted have no file
        // (inode 0) and so no process holding them; lsof does not count them
        // either.
        for (const InetSocket& s : *sockets) {
            if (s.inode != 0 && (s.port == port || s.remotePort == port)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace varnholt::SockDiag
