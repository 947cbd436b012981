#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

#include "ChildProcess.h"

namespace varnholt::test {

// This build's varnholt-serve.
QString serveProgram();

// varnholt-serve started on a free loopback port for a folder, listening
// when start() returns; killed by its pid when the object goes.
class ServeRun {
public:
    // arguments go before the folder; env ("NAME=VALUE") is the server's alone.
    static std::unique_ptr<ServeRun> start(const QString& folder, const QStringList& arguments = {},
                                           const QStringList& env = {});
    quint16 port() const { return m_port; }
    qint32 pid() const { return m_child->pid(); }
    ChildProcess& child() { return *m_child; }
    // "http://127.0.0.1:PORT" + path
    QByteArray url(const QByteArray& path) const;

private:
    ServeRun(std::unique_ptr<ChildProcess> child, quint16 port)
        : m_child(std::move(child)), m_port(port) {}
    std::unique_ptr<ChildProcess> m_child;
    quint16 m_port;
};

struct CurlReply {
    int exitCode = -1;
    int status = 0;      // of the last response
    QByteArray headers;  // of the last response, lower-cased names
    QByteArray body;
    // The value of a header of the last response, or empty.
    QByteArray header(const QByteArray& name) const;
};

// curl -sS with the arguments, its headers and body kept apart.
CurlReply curl(const QStringList& arguments, int timeoutMs = 20000);

}  // namespace varnholt::test
