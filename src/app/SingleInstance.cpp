#include "SingleInstance.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "Log.h"
#include "RuntimeFolder.h"

namespace varnholt {

namespace {
constexpr int kAnswerTimeoutMs = 1000;
const QByteArray kShowRequest = "show\n";
}  // namespace

QString SingleInstance::defaultSocketPath() {
    const QString folder = RuntimeFolder::privateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/varnholt-control.sock");
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), m_socketPath(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    if (m_server) {
        m_server->close();
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);  // releases the lock
    }
}

qint64 SingleInstance::peerUid(const QLocalSocket& socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return -1;
    }
    return credentials.uid;
}

bool SingleInstance::claim() {
    if (m_socketPath.isEmpty()) {
        qCWarning(lcApp) << "No private folder for the one-instance socket: running without it";
        return true;
    }
    switch (takeLock()) {
        case 1:
            listen();
            return true;
        case 0:
            askToShow();
            return false;
        default:
            // Without a lock the socket alone decides, as before locks.
            if (askToShow()) {
                return false;
            }
            listen();
            return true;
    }
}

int SingleInstance::takeLock() {
    m_lockFd = ::open(QFile::encodeName(lockPath()).constData(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_lockFd < 0) {
        qCWarning(lcApp).noquote() << "The one-instance lock" << lockPath()
                                   << "cannot be opened:" << qt_error_string(errno);
        return -1;
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) {
        return 1;
    }
    const int error = errno;
    ::close(m_lockFd);
    m_lockFd = -1;
    if (error == EWOULDBLOCK) {
        return 0;
    }
    qCWarning(lcApp).noquote() << "The one-instance lock" << lockPath()
                               << "cannot be taken:" << qt_error_string(error);
    return -1;
}

// Only a running instance of this user is asked: anyone else listening at
// the path would learn nothing and could not make this start quit.
bool SingleInstance::askToShow() {
    QLocalSocket probe;
    probe.connectToServer(m_socketPath);
    if (!probe.waitForConnected(kAnswerTimeoutMs)) {
        qCInfo(lcApp) << "Another instance runs, but it does not answer on its socket";
        return false;
    }
    if (peerUid(probe) != ::geteuid()) {
        qCWarning(lcApp).noquote()
            << "The socket" << m_socketPath << "is served by another user; it is not asked";
        return false;
    }
    probe.write(kShowRequest);
    probe.waitForBytesWritten(kAnswerTimeoutMs);
    probe.disconnectFromServer();
    return true;
}

void SingleInstance::listen() {
    // Whatever is at the path is left over from a run that ended without
    // cleaning up: the lock (or the silence) says no instance serves it.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        // The lock still keeps a second instance out; it just cannot be asked
        // to show this panel.
        qCWarning(lcApp).noquote() << "The one-instance socket" << m_socketPath
                                   << "cannot be made:" << m_server->errorString();
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (peerUid(*socket) != ::geteuid()) {
                socket->abort();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show")) {
                    emit showRequested();
                }
            });
        }
    });
}

}  // namespace varnholt
