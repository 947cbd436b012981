#include "PortHolder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnholt::test {

PortHolder::~PortHolder() {
    for (int fd : m_fds) {
        ::close(fd);
    }
}

bool PortHolder::hold(qint64 port) {
    if (port < 0 || port > 65535) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<quint16>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0) {
        ::close(fd);
        return false;
    }
    m_fds.push_back(fd);
    return true;
}

}  // namespace varnholt::test
