#include "ServeRun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryFile>

#include <chrono>
#include <thread>

#include "LoopbackPorts.h"

namespace varnholt::test {

QString serveProgram() {
    return QStringLiteral(VARNHOLT_BINARY_DIR "/src/app/varnholt-serve");
}

std::unique_ptr<ServeRun> ServeRun::start(const QString& folder, const QStringList& arguments,
                                          const QStringList& env) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const quint16 port = freeLoopbackPort();
        auto child = ChildProcess::start(
            QStringList{serveProgram(), "--bind", "127.0.0.1", "--port", QString::number(port)} +
                arguments + QStringList{folder},
            {}, env);
        if (!child) {
            return nullptr;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (acceptsConnection(QStringLiteral("127.0.0.1"), port)) {
                return std::unique_ptr<ServeRun>(new ServeRun(std::move(child), port));
            }
            if (child->waitForExit(std::chrono::milliseconds(10))) {
                break;  // the port was taken meanwhile: another one
            }
        }
    }
    return nullptr;
}

QByteArray ServeRun::url(const QByteArray& path) const {
    return "http://127.0.0.1:" + QByteArray::number(m_port) + path;
}

QByteArray CurlReply::header(const QByteArray& name) const {
    const QByteArray wanted = name.toLower() + ':';
    for (const QByteArray& line : headers.split('\n')) {
        if (line.toLower().startsWith(wanted)) {
            return line.mid(wanted.size()).trimmed();
        }
    }
    return {};
}

CurlReply curl(const QStringList& arguments, int timeoutMs) {
    CurlReply reply;
    QTemporaryFile headers;
    if (!headers.open()) {
        return reply;
    }
    QProcess process;
    process.start(QStringLiteral("/usr/bin/curl"),
                  QStringList{"-sS", "--max-time", QString::number(timeoutMs / 1000), "-D",
                              headers.fileName()} +
                      arguments);
    if (!process.waitForFinished(timeoutMs + 5000)) {
        process.kill();
        process.waitForFinished();
        return reply;
    }
    reply.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    reply.body = process.readAllStandardOutput();
    const QByteArray all = headers.readAll();
    // With a redirect or a resume there are several responses: the last counts.
    const qsizetype last = all.lastIndexOf("HTTP/");
    reply.headers = last < 0 ? QByteArray() : all.mid(last);
    const QList<QByteArray> statusLine = reply.headers.left(reply.headers.indexOf('\n')).split(' ');
    reply.status = statusLine.size() > 1 ? statusLine[1].toInt() : 0;
    return reply;
}

}  // namespace varnholt::test
