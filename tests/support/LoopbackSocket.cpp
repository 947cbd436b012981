#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace varnholt::test {

namespace {

socklen_t loopback(int family, quint16 port, sockaddr_storage* address) {
    *address = {};
    if (family == AF_INET6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(address);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_loopback;
        a->sin6_port = htons(port);
        return sizeof(*a);
    }
    auto* a = reinterpret_cast<sockaddr_in*>(address);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a->sin_port = htons(port);
    return sizeof(*a);
}

}  // namespace

LoopbackSocket::LoopbackSocket(int type, int family)
    : m_family(family), m_fd(::socket(family, type | SOCK_CLOEXEC, 0)) {}

LoopbackSocket::LoopbackSocket(int fd, int family, std::nullptr_t) : m_family(family), m_fd(fd) {}

LoopbackSocket::LoopbackSocket(LoopbackSocket&& other) noexcept
    : m_family(other.m_family), m_fd(std::exchange(other.m_fd, -1)) {}

LoopbackSocket::~LoopbackSocket() {
    close();
}

void LoopbackSocket::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

quint16 LoopbackSocket::bind(quint16 port) {
    sockaddr_storage address;
    const socklen_t length = loopback(m_family, port, &address);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        return 0;
    }
    return this->port();
}

bool LoopbackSocket::listen() {
    return ::listen(m_fd, 4) == 0;
}

bool LoopbackSocket::connect(quint16 port) {
    sockaddr_storage address;
    const socklen_t length = loopback(m_family, port, &address);
    return ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
}

LoopbackSocket LoopbackSocket::accept() {
    return LoopbackSocket(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC), m_family, nullptr);
}

quint16 LoopbackSocket::port() const {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.ss_family == AF_INET6
                     ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                     : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

quint32 LoopbackSocket::inode() const {
    struct stat info {};
    ::fstat(m_fd, &info);
    return quint32(info.st_ino);
}

}  // namespace varnholt::test
