#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

#include "ChildProcess.h"

namespace varnholt::test {

// A real server process (python3 -m http.server, node...) started by a test in
// a folder of its own and reached on a loopback address. Stopped by its pid
// when the object goes away: asked to terminate first, killed if it lingers.
class LoopbackServer {
public:
    // argv[0] is an absolute path; folder is made when missing and is the
    // server's working directory. Null when the program cannot be started.
    static std::unique_ptr<LoopbackServer> start(const QStringList& argv, const QString& folder,
                                                 const QString& host, quint16 port);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    qint32 pid() const { return m_process->pid(); }
    quint16 port() const { return m_port; }
    // Until host:port accepts a connection; false once the server has ended
    // or the timeout has passed.
    bool waitUntilListening(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Writes a tiny Node HTTP server answering "ok" into folder as server.js;
    // the command line that runs it there on host:port.
    static QStringList nodeCommand(const QString& folder, quint16 port, const QString& host);

private:
    LoopbackServer(std::unique_ptr<ChildProcess> process, QString host, quint16 port);

    std::unique_ptr<ChildProcess> m_process;
    QString m_host;
    quint16 m_port;
};

}  // namespace varnholt::test
