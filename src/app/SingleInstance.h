#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace varnholt {

// One running app per user. The first instance listens on a local socket in
// the user's runtime folder; a later start finds it there, asks it to show its
// panel and steps aside.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket's path in the user's runtime folder.
    static QString defaultSocketPath();

    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one instance. False when another
    // instance answered and was asked to show its panel.
    bool claim();
    const QString& socketPath() const { return m_socketPath; }

signals:
    void showRequested();

private:
    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};

}  // namespace varnholt
