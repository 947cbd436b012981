#include "native_LoopbackServers.h"

#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnholt::test {

namespace {

bool connects(const QString& host, quint16 port) {
    const bool v6 = host.contains(':');
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_storage address{};
    socklen_t length;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&address);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        inet_pton(AF_INET6, host.toLatin1().constData(), &a->sin6_addr);
        length = sizeof(*a);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&address);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        inet_pton(AF_INET, host.toLatin1().constData(), &a->sin_addr);
        length = sizeof(*a);
    }
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

ServerProcess::ServerProcess(const QString& program, const QStringList& arguments,
                             const QString& folder)
    : m_process(std::make_unique<QProcess>()) {
    QDir().mkpath(folder);
    m_process->setWorkingDirectory(folder);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    m_process->start(program, arguments);
    m_process->waitForStarted(10'000);
}

ServerProcess::~ServerProcess() {
    const qint32 id = pid();
    if (id <= 0) {
        return;
    }
    ::kill(id, SIGTERM);
    if (!m_process->waitForFinished(3000)) {
        ::kill(id, SIGKILL);
        m_process->waitForFinished(3000);
    }
}

qint32 ServerProcess::pid() const {
    return qint32(m_process->processId());
}

bool ServerProcess::waitUntilListening(const QString& host, quint16 port) {
    for (int i = 0; i < 200; ++i) {
        if (m_process->state() != QProcess::Running) {
            return false;
        }
        if (connects(host, port)) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

quint16 unusedPort(bool ipv6) {
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    socklen_t length;
    if (ipv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&address);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_loopback;
        length = sizeof(*a);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&address);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(*a);
    }
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                          : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }
    ::close(fd);
    return port;
}

void writeNodeServer(const QString& folder) {
    QDir().mkpath(folder);
    QFile file(folder + "/server.js");
    if (file.open(QIODevice::WriteOnly)) {
        file.write(
            "require('http').createServer((q, s) => s.end('ok'))"
            ".listen(Number(process.argv[2]), process.argv[3]);\n");
    }
}

}  // namespace varnholt::test
