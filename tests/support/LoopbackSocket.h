#pragma once

#include <QtGlobal>

#include <sys/socket.h>

namespace varnholt::test {

// A socket of this test process on 127.0.0.1 or ::1, closed with the object.
class LoopbackSocket {
public:
    explicit LoopbackSocket(int type, int family = AF_INET);
    ~LoopbackSocket();
    LoopbackSocket(LoopbackSocket&& other) noexcept;
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(LoopbackSocket&&) = delete;

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    void close();

    // Binds to the loopback address (port 0 picks one); the bound port, or 0.
    quint16 bind(quint16 port = 0);
    bool listen();
    bool connect(quint16 port);
    // The next connection on a listening socket.
    LoopbackSocket accept();
    quint16 port() const;
    quint32 inode() const;

private:
    LoopbackSocket(int fd, int family, std::nullptr_t);

    int m_family;
    int m_fd;
};

}  // namespace varnholt::test
