#include "PickJob.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <memory>

#include <signal.h>
#include <unistd.h>

#include "Log.h"
#include "NameCheck.h"

namespace varnholt {

namespace {

// How long the script gets to clean up after SIGTERM before its group is killed.
constexpr int kGraceMs = 3000;

QSet<QString> entriesOf(const QString& folder) {
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                     QDir::Hidden | QDir::System);
    return {names.cbegin(), names.cend()};
}

// Runs work on a thread of its own and then done on receiver's thread, unless
// the receiver is gone by then.
void inBackground(QObject* receiver, std::function<void()> work, std::function<void()> done) {
    QThread* thread = QThread::create(std::move(work));
    QObject::connect(thread, &QThread::finished, receiver, std::move(done));
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

}  // namespace

PickJob::PickJob(QString pickedPath, QString hostMjs, QString packagesFolder, NodeLookup nodeLookup,
                 QObject* parent)
    : QObject(parent),
      m_pickedPath(std::move(pickedPath)),
      m_hostMjs(std::move(hostMjs)),
      m_packagesFolder(std::move(packagesFolder)),
      m_nodeLookup(std::move(nodeLookup)) {
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(kGraceMs);
    connect(&m_killTimer, &QTimer::timeout, this, [this] { signalGroup(SIGKILL); });
}

PickJob::~PickJob() {
    if (!m_finished) {
        cancelNow();
    }
}

void PickJob::start() {
    if (NameCheck::isUndecodable(m_pickedPath)) {
        return finish({std::nullopt, NameCheck::undecodableMessage(m_pickedPath)});
    }
    if (!QFileInfo::exists(m_pickedPath)) {
        return finish({std::nullopt, QStringLiteral("%1 no longer exists.").arg(m_pickedPath)});
    }
    if (!QFileInfo(m_hostMjs).isFile()) {
        return finish({std::nullopt,
                       QStringLiteral("The companion script is missing at %1.").arg(m_hostMjs)});
    }
    // Only folders that were not there before may be removed on failure: a
    // confused script naming an existing package must not cost the user it.
    m_packagesBefore = entriesOf(m_packagesFolder);
    auto node = std::make_shared<QString>();
    // The login-shell lookup can take seconds.
    inBackground(
        this, [node, lookup = m_nodeLookup] { *node = lookup(); },
        [this, node] { runScript(*node); });
}

void PickJob::runScript(const QString& node) {
    if (m_cancelled) {
        return finish({});
    }
    const QFileInfo info(node);
    if (!QDir::isAbsolutePath(node) || !info.isFile() || !info.isExecutable()) {
        return finish({std::nullopt, QStringLiteral("Node was not found. Install Node 18 or later "
                                                    "and try again.")});
    }
    m_process = new QProcess(this);
    m_process->setProgram(node);
    QStringList arguments{m_hostMjs};
    if (m_newCopy) {
        arguments << QStringLiteral("--new-copy");
    }
    m_process->setArguments(arguments << QStringLiteral("--in") << m_pickedPath);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so cancelling reaches everything the script started.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &PickJob::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        m_errorTail += m_process->readAllStandardError();
        if (m_errorTail.size() > CommandResult::kErrorTailBytes) {
            m_errorTail = m_errorTail.right(CommandResult::kErrorTailBytes);
        }
    });
    connect(m_process, &QProcess::finished, this, &PickJob::scriptEnded);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finish({std::nullopt, QStringLiteral("Node could not run the companion script.")});
        }
    });
    qCInfo(lcQuickHost).noquote() << "Packaging" << m_pickedPath << "with" << node;
    m_process->start();
    m_group = m_process->processId();
}

void PickJob::readOutput() {
    m_output += m_process->readAllStandardOutput();
    for (qsizetype end = m_output.indexOf('\n', m_parsed); end >= 0;
         end = m_output.indexOf('\n', m_parsed)) {
        takeLine(m_output.mid(m_parsed, end - m_parsed));
        m_parsed = end + 1;
    }
}

void PickJob::takeLine(const QByteArray& text) {
    const PickLine line = parsePickLine(text);
    if (line.kind == PickLine::Kind::Making && m_making.isEmpty()) {
        // Trusted only for a new folder directly inside the packages folder.
        const QFileInfo made(line.packageDir);
        const QString name = made.fileName();
        const QString folder = QFileInfo(made.absolutePath()).canonicalFilePath();
        if (!folder.isEmpty() && folder == QFileInfo(m_packagesFolder).canonicalFilePath() &&
            !name.isEmpty() && name != ".." && !m_packagesBefore.contains(name)) {
            m_making = made.absoluteFilePath();
        }
    } else if (line.kind == PickLine::Kind::Progress) {
        m_progress = line;
        emit progressed();
    }
}

void PickJob::scriptEnded(int exitCode, QProcess::ExitStatus status) {
    m_killTimer.stop();
    readOutput();
    if (m_cancelled) {
        signalGroup(SIGKILL);  // anything the script left running
        return finishRemoving({});
    }
    CommandResult run;
    run.ran = status == QProcess::NormalExit;
    run.exitStatus = run.ran ? exitCode : -1;
    run.output = m_output;
    run.errorTail = m_errorTail;
    const HostPicking::PickOutcome outcome = HostPicking::outcomeOfRun(run, m_packagesFolder);
    if (outcome.packageDir) {
        m_making.clear();
        return finish(outcome);
    }
    qCWarning(lcQuickHost).noquote() << "Packaging" << m_pickedPath << "failed:" << outcome.failure;
    finishRemoving(outcome);
}

void PickJob::cancel() {
    if (m_finished || m_cancelled) {
        return;
    }
    m_cancelled = true;
    qCInfo(lcQuickHost).noquote() << "Cancelling the packaging of" << m_pickedPath;
    if (m_process && m_process->state() != QProcess::NotRunning) {
        signalGroup(SIGTERM);
        m_killTimer.start();
    }
}

void PickJob::cancelNow() {
    if (m_finished) {
        return;
    }
    m_cancelled = true;
    if (m_process && m_process->state() != QProcess::NotRunning) {
        signalGroup(SIGTERM);
        disconnect(m_process, nullptr, this, nullptr);
        if (!m_process->waitForFinished(kGraceMs)) {
            signalGroup(SIGKILL);
            m_process->waitForFinished(kGraceMs);
        }
        m_output += m_process->readAllStandardOutput();
        readOutput();
    }
    if (!m_making.isEmpty()) {
        QDir(m_making).removeRecursively();
        m_making.clear();
    }
    m_finished = true;
    emit finished({});
}

void PickJob::signalGroup(int signal) {
    if (m_group > 0) {
        ::kill(-pid_t(m_group), signal);
    }
}

void PickJob::finishRemoving(const HostPicking::PickOutcome& outcome) {
    const QString dir = m_making;
    m_making.clear();
    if (dir.isEmpty() || !QFileInfo::exists(dir)) {
        return finish(outcome);
    }
    qCInfo(lcQuickHost).noquote() << "Removing the half-made package" << dir;
    inBackground(
        this, [dir] { QDir(dir).removeRecursively(); }, [this, outcome] { finish(outcome); });
}

void PickJob::finish(const HostPicking::PickOutcome& outcome) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    emit finished(outcome);
}

}  // namespace varnholt
