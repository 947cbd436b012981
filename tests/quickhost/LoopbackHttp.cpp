#include "LoopbackHttp.h"

#include <QDeadlineTimer>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

namespace varnholt::test {

namespace {

sockaddr_in address(quint32 host, qint64 port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<quint16>(port));
    addr.sin_addr.s_addr = htonl(host);
    return addr;
}

std::optional<HttpReply> getOnce(qint64 port, const QByteArray& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const sockaddr_in addr = address(INADDR_LOOPBACK, port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    const QByteArray request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd, request.constData(), request.size(), MSG_NOSIGNAL) != request.size()) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray raw;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            raw.append(buffer, n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(fd);
    const qsizetype headerEnd = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/") || headerEnd < 0) {
        return std::nullopt;
    }
    HttpReply reply;
    reply.status = raw.mid(raw.indexOf(' ') + 1, 3).toInt();
    reply.body = raw.mid(headerEnd + 4);
    return reply;
}

}  // namespace

std::optional<HttpReply> httpGet(qint64 port, const QByteArray& target, int deadlineMs) {
    QDeadlineTimer deadline(deadlineMs);
    for (;;) {
        if (auto reply = getOnce(port, target)) {
            return reply;
        }
        if (deadline.hasExpired()) {
            return std::nullopt;
        }
        QThread::msleep(50);
    }
}

PortHolder::~PortHolder() {
    for (int fd : m_fds) {
        ::close(fd);
    }
}

bool PortHolder::hold(qint64 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const sockaddr_in addr = address(INADDR_ANY, port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 4) != 0) {
        ::close(fd);
        return false;
    }
    m_fds.push_back(fd);
    return true;
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
        for (int i = 0; i < count && all; ++i) {
            all = probe.hold(first + i);
        }
        if (all) {
            return first;
        }
    }
    return std::nullopt;
}

}  // namespace varnholt::test
