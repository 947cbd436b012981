#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace varnholt {

// One running app per user. The first instance holds a lock and listens on a
// local socket, both in a folder only the user can write; a later start finds
// the lock taken, asks the running one (when it is the user's own) to show
// its panel and steps aside. The lock keeps a second instance out even when
// the socket cannot be made.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket's path in the user's private runtime folder; empty when
    // there is no such folder.
    static QString defaultSocketPath();

    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one instance. False when another
    // instance runs (it was asked to show its panel, if it could be asked).
    bool claim();
    const QString& socketPath() const { return m_socketPath; }
    QString lockPath() const { return m_socketPath + QStringLiteral(".lock"); }

    // The uid of the process at the other end of a local socket; -1 when
    // the system cannot tell.
    static qint64 peerUid(const QLocalSocket& socket);

signals:
    void showRequested();

private:
    // 1: the lock is ours; 0: another process holds it; -1: no lock file.
    int takeLock();
    bool askToShow();
    void listen();

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
    int m_lockFd = -1;
};

}  // namespace varnholt
