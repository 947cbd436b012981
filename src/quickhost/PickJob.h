#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>

#include "HostPicking.h"
#include "PickLine.h"

namespace varnholt {

// One pick being packaged by the companion script, entirely in the
// background: Node is looked up on a worker thread and the script runs in a
// process group of its own, read through QProcess signals. Ends with
// finished() exactly once: the package folder, a failure text, or cancelled.
// Whatever way it ends short of success, the package folder it was making is
// removed.
class PickJob : public QObject {
    Q_OBJECT
public:
    using NodeLookup = std::function<QString()>;

    PickJob(QString pickedPath, QString hostMjs, QString packagesFolder, NodeLookup nodeLookup,
            QObject* parent = nullptr);
    ~PickJob() override;

    // Asks the script for a fresh copy even when it made one from the same,
    // unchanged pick before. Before start().
    void setNewCopy(bool newCopy) { m_newCopy = newCopy; }
    void start();
    // Stops the script and all it started, then removes its half-made package.
    void cancel();
    // For quitting: the same, but done before returning.
    void cancelNow();

    const QString& pickedPath() const { return m_pickedPath; }
    // The folder being made, once the script has said so; empty before.
    const QString& packageDir() const { return m_making; }
    const PickLine& progress() const { return m_progress; }
    bool isCancelled() const { return m_cancelled; }
    bool isFinished() const { return m_finished; }

signals:
    void progressed();
    // outcome.packageDir on success; otherwise outcome.failure says why,
    // empty when the job was cancelled.
    void finished(const HostPicking::PickOutcome& outcome);

private:
    void runScript(const QString& node);
    void readOutput();
    void takeLine(const QByteArray& line);
    void scriptEnded(int exitCode, QProcess::ExitStatus status);
    void signalGroup(int signal);
    // Removes the half-made package off the GUI thread, then finishes.
    void finishRemoving(const HostPicking::PickOutcome& outcome);
    void finish(const HostPicking::PickOutcome& outcome);

    QString m_pickedPath;
    QString m_hostMjs;
    QString m_packagesFolder;
    NodeLookup m_nodeLookup;
    QSet<QString> m_packagesBefore;
    QProcess* m_process = nullptr;
    qint64 m_group = 0;
    QByteArray m_output;
    qsizetype m_parsed = 0;
    QByteArray m_errorTail;
    QString m_making;
    PickLine m_progress;
    QTimer m_killTimer;
    bool m_newCopy = false;
    bool m_cancelled = false;
    bool m_finished = false;
};

}  // namespace varnholt
