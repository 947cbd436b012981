#include "LoopbackServer.h"

#include <QDeadlineTimer>
#include <QDir>

#include <thread>

#include "Files.h"
#include "LoopbackPorts.h"

namespace varnholt::test {

std::unique_ptr<LoopbackServer> LoopbackServer::start(const QStringList& argv,
                                                      const QString& folder, const QString& host,
                                                      quint16 port) {
    QDir().mkpath(folder);
    auto process = ChildProcess::start(argv, folder);
    if (!process) {
        return nullptr;
    }
    return std::unique_ptr<LoopbackServer>(new LoopbackServer(std::move(process), host, port));
}

LoopbackServer::LoopbackServer(std::unique_ptr<ChildProcess> process, QString host, quint16 port)
    : m_process(std::move(process)), m_host(std::move(host)), m_port(port) {}

LoopbackServer::~LoopbackServer() {
    m_process->stop();
}

bool LoopbackServer::waitUntilListening(std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        if (m_process->waitForExit(std::chrono::milliseconds(0))) {
            return false;
        }
        if (acceptsConnection(m_host, m_port)) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

QStringList LoopbackServer::nodeCommand(const QString& folder, quint16 port, const QString& host) {
    writeFile(folder + "/server.js",
              "const http = require('http');\n"
              "const [port, host] = process.argv.slice(2);\n"
              "http.createServer((req, res) => res.end('ok')).listen(Number(port), host);\n");
    return {QStringLiteral("/usr/bin/node"), QStringLiteral("server.js"), QString::number(port),
            host};
}

}  // namespace varnholt::test
