#include "SockDiag.h"

#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "SockDiagParser.h"

namespace varnholt::SockDiag {

namespace {

// Large enough for the biggest message batch the kernel builds for a dump
// (it sizes batches from the reader's buffer, up to 32 KiB).
constexpr qsizetype kReceiveBuffer = 64 * 1024;

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

}  // namespace

std::optional<QList<InetSocket>> dump(int family, int protocol, quint32 states,
                                      std::optional<quint16> port) {
    NetlinkSocket socket;
    if (socket.fd() < 0) {
        return std::nullopt;
    }
    const quint32 sequence = nextSequence();
    const QByteArray request =
        SockDiagParser::request(quint8(family), quint8(protocol), states, sequence, port);
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

std::optional<bool> portInUse(quint16 port) {
    constexpr quint32 kAllStates = ~0u;
    for (const int protocol : {IPPROTO_TCP, IPPROTO_UDP}) {
        for (const int family : {AF_INET, AF_INET6}) {
            auto sockets = dump(family, protocol, kAllStates, port);
            if (!sockets) {
                // Kernels without the port tests refuse the filter program;
                // the whole table, filtered here, answers the same question.
                sockets = dump(family, protocol, kAllStates);
            }
            if (!sockets) {
                return std::nullopt;
            }
            // TIME_WAIT and half-open connections have no file (inode 0) and
            // so no process holding them, the same test lsof applies.
            for (const InetSocket& s : *sockets) {
                if (s.inode != 0 && (s.port == port || s.remotePort == port)) {
                    return true;
                }
            }
        }
    }
    return false;
}

}  // namespace varnholt::SockDiag
