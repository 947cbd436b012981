#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace varnholt {

namespace {
constexpr int kAnswerTimeoutMs = 1000;
const QByteArray kShowRequest = "show\n";
}  // namespace

QString SingleInstance::defaultSocketPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder + QStringLiteral("/varnholt-control.sock");
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (m_server) {
        m_server->close();
    }
}

bool SingleInstance::claim() {
    {
        QLocalSocket probe;
        probe.connectToServer(m_socketPath);
        if (probe.waitForConnected(kAnswerTimeoutMs)) {
            probe.write(kShowRequest);
            probe.waitForBytesWritten(kAnswerTimeoutMs);
            probe.disconnectFromServer();
            return false;
        }
    }
    // Nobody answered: whatever is at the path is left over from a run that
    // ended without cleaning up.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        // Still run; a second start will then simply start a second app.
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show")) {
                    emit showRequested();
                }
            });
        }
    });
    return true;
}

}  // namespace varnholt
