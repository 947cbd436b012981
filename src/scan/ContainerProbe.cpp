#include "ContainerProbe.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include "Log.h"
#include "exec/Shell.h"

namespace varnholt {

namespace {

// A listing far larger than any machine's containers print is not read on.
constexpr qint64 kMaxOutputBytes = 8 * 1024 * 1024;

}  // namespace

ContainerProbe::ContainerProbe(std::chrono::milliseconds timeLimit) : m_timeLimit(timeLimit) {
    m_engines.push_back(
        {QStringLiteral("docker"),
         {QStringLiteral("ps"), QStringLiteral("--format"), QStringLiteral("{{json .}}")},
         &ContainerListing::parseDocker});
    m_engines.push_back({QStringLiteral("podman"),
                         {QStringLiteral("ps"), QStringLiteral("--format"), QStringLiteral("json")},
                         &ContainerListing::parsePodman});
}

ContainerProbe::~ContainerProbe() {
    for (Engine& engine : m_engines) {
        if (engine.process) {
            engine.process->disconnect(&m_context);
            engine.process->kill();
            engine.process->waitForFinished(1000);
            delete engine.process;
        }
    }
}

QList<ContainerListing::PublishedPort> ContainerProbe::poll() {
    QList<ContainerListing::PublishedPort> all;
    for (Engine& engine : m_engines) {
        all.append(engine.answer);
        if (engine.process) {
            continue;  // still out: at most one question per engine
        }
        const QString program = QStandardPaths::findExecutable(engine.name);
        if (program.isEmpty()) {
            engine.answer.clear();
            continue;
        }
        ask(engine, program);
    }
    return all;
}

bool ContainerProbe::waiting() const {
    for (const Engine& engine : m_engines) {
        if (engine.process) {
            return true;
        }
    }
    return false;
}

void ContainerProbe::ask(Engine& engine, const QString& program) {
    auto* process = new QProcess;
    engine.process = process;
    process->setProgram(program);
    process->setArguments(engine.arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, &m_context,
                     [this, &engine, process](int code, QProcess::ExitStatus status) {
                         if (engine.process == process) {
                             finish(engine, status == QProcess::NormalExit && code == 0);
                         }
                     });
    QObject::connect(process, &QProcess::errorOccurred, &m_context,
                     [this, &engine, process](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart && engine.process == process) {
                             finish(engine, false);
                         }
                     });
    QObject::connect(process, &QProcess::readyReadStandardOutput, &m_context, [process] {
        if (process->bytesAvailable() > kMaxOutputBytes) {
            process->kill();
        }
    });
    QTimer::singleShot(m_timeLimit, process, [this, &engine, process] {
        if (!engine.hung) {
            engine.hung = true;
            qCWarning(lcScan).noquote()
                << engine.name << "ps did not answer within" << m_timeLimit.count()
                << "ms; stopped it, and its containers show from the socket table";
        }
        process->kill();
    });
    process->start();
}

void ContainerProbe::finish(Engine& engine, bool ok) {
    QProcess* process = engine.process;
    engine.process = nullptr;
    engine.answer = ok ? engine.parse(process->readAllStandardOutput())
                       : QList<ContainerListing::PublishedPort>();
    engine.hung = engine.hung && !ok;
    if (ok != engine.answering) {
        engine.answering = ok;
        if (ok) {
            qCInfo(lcScan).noquote() << engine.name << "answers: its published ports are listed";
        } else {
            qCInfo(lcScan).noquote()
                << engine.name << "does not answer (no daemon, or no access to it)";
        }
    }
    process->deleteLater();
}

bool ContainerProbe::stop(const QString& engine, const QString& id) {
    static const QRegularExpression plainId(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_.-]*$"));
    if ((engine != QLatin1String("docker") && engine != QLatin1String("podman")) ||
        !plainId.match(id).hasMatch()) {
        return false;
    }
    const QString program = QStandardPaths::findExecutable(engine);
    if (program.isEmpty()) {
        return false;
    }
    qCInfo(lcScan).noquote() << "Asking" << engine << "to stop container" << id;
    return shellBackground(program, {QStringLiteral("stop"), id}) > 0;
}

}  // namespace varnholt
