#pragma once

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace varnholt::test {

// A real server process started by a test, stopped by its pid when the
// object goes away.
class ServerProcess {
public:
    ServerProcess(const QString& program, const QStringList& arguments, const QString& folder);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    qint32 pid() const;
    // Connects to host (a loopback address) until the port accepts.
    bool waitUntilListening(const QString& host, quint16 port);

private:
    std::unique_ptr<QProcess> m_process;
};

// A port nothing listens on right now, found by binding port 0 on loopback.
quint16 unusedPort(bool ipv6 = false);

// A tiny Node HTTP server: `node server.js PORT HOST`.
void writeNodeServer(const QString& folder);

}  // namespace varnholt::test
