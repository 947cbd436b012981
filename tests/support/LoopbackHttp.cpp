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

sockaddr_in loopback(qint64 port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<quint16>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

std::optional<HttpReply> getOnce(qint64 port, const QByteArray& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const sockaddr_in addr = loopback(port);
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
    reply.headers = raw.left(headerEnd);
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

QByteArray httpBody(qint64 port, const QByteArray& target, int deadlineMs) {
    const auto reply = httpGet(port, target, deadlineMs);
    return reply ? reply->body : QByteArray();
}

}  // namespace varnholt::test
