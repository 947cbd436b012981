#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace varnholt::bench {

// One server the bench started.
struct Listener {
    QString kind;  // "python3" or "node"
    QString host;  // "127.0.0.1" (LOCAL) or "0.0.0.0" (NET)
    quint16 port = 0;
    QString folder;  // its own named folder, the name the scan should show
    std::unique_ptr<QProcess> process;
};

// The bench's own servers on loopback or all interfaces, a mix of
// `python3 -m http.server` and a small Node server, each in a named folder
// of a temporary tree. Every one is stopped by its pid, and waited for, when
// the object goes away, whatever path the bench took to get there; an
// interrupt (Ctrl-C) stops them too.
class BenchListeners {
public:
    BenchListeners();
    ~BenchListeners();
    BenchListeners(const BenchListeners&) = delete;
    BenchListeners& operator=(const BenchListeners&) = delete;

    // Starts count servers and waits until each accepts on loopback. Returns
    // false (with the reason in error) when one does not come up.
    bool start(int count, QString& error);
    // start() that tells the user what it does and why it failed.
    bool startAnnounced(int count);
    void stopAll();

    const QList<std::shared_ptr<Listener>>& listeners() const { return m_listeners; }
    QList<qint32> pids() const;

private:
    bool waitUntilListening(QString& error);

    QTemporaryDir m_root;
    QList<std::shared_ptr<Listener>> m_listeners;
};

// Terminates each by its pid, waits for it, kills what is still there after
// 3 s, and releases it from the interrupt's list.
void stopAndWait(const QList<QProcess*>& processes);

// The Node the bench runs its servers and busy processes with.
QString nodeProgram();

// Another child of the bench's own that an interrupt must stop too, and
// its release once the bench has stopped and waited for it.
void trackChild(qint64 pid);
void untrackChild(qint64 pid);

// The signal (SIGINT, SIGTERM, SIGHUP) that asked the bench to stop, or 0.
int interruptedBy();

// The exit status of a run that could not go on: 128 + the signal when one
// stopped it, else 1.
int failureExitCode();

// Whether something accepts a TCP connection on 127.0.0.1:port.
bool acceptsOnLoopback(quint16 port);

// A port nothing holds right now (the kernel's pick for port 0 on loopback).
quint16 unusedLoopbackPort();

}  // namespace varnholt::bench
