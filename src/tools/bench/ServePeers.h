#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace varnholt::bench {

// One file server the serving bench measures: started on a loopback port
// for a folder, stopped by its pid.
class Peer {
public:
    explicit Peer(QString name) : m_name(std::move(name)) {}
    virtual ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    const QString& name() const { return m_name; }
    const QString& error() const { return m_error; }

    // Starts it and waits until it accepts connections; false when it does
    // not within 30 s.
    bool start(const QString& folder, quint16 port);
    void stop();
    // From the start to the first accepted connection.
    qint64 listenedAfterNs() const { return m_listenedAfterNs; }
    // Resident memory of the server and its child processes (MB, 10^6
    // bytes), now and at its peak.
    double rssMB() const;
    double peakRssMB() const;

protected:
    virtual QStringList command(const QString& folder, quint16 port) = 0;
    QString m_error;

private:
    double sumOf(const char* field) const;
    QString m_name;
    std::unique_ptr<QProcess> m_process;
    qint64 m_listenedAfterNs = 0;
};

std::unique_ptr<Peer> varnholtPeer(const QString& server);
std::unique_ptr<Peer> pythonPeer();
// nginx with a configuration of its own written into folder.
std::unique_ptr<Peer> nginxPeer(const QString& folder);

}  // namespace varnholt::bench
