#include "BusyLoad.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include "BenchListeners.h"
#include "Measure.h"

namespace varnholt::bench {

namespace {

// Opens its own file F times and then only waits; "ready" once all are open.
const char kHolder[] =
    "const fs = require('fs');\n"
    "const [file, count] = [process.argv[2], Number(process.argv[3])];\n"
    "fs.writeFileSync(file, 'busy');\n"
    "const held = [];\n"
    "try { for (let i = 0; i < count; ++i) held.push(fs.openSync(file, 'r')); }\n"
    "catch (e) { console.log('error ' + e.code); process.exit(1); }\n"
    "console.log('ready');\n"
    "setInterval(() => {}, 1 << 30);\n";

}  // namespace

BusyLoad::BusyLoad() : m_root(QDir::tempPath() + "/varnholt-bench-busy-XXXXXX") {}

BusyLoad::~BusyLoad() {
    stopAll();
}

bool BusyLoad::parse(const QString& text, int& processes, int& files) {
    const QStringList parts = text.split(QLatin1Char(':'));
    bool okProcesses = false;
    bool okFiles = false;
    if (parts.size() == 2) {
        processes = parts[0].toInt(&okProcesses);
        files = parts[1].toInt(&okFiles);
    }
    // Past a few thousand a process runs into its descriptor limit.
    return okProcesses && okFiles && processes >= 1 && processes <= 200 && files >= 1 &&
           files <= 10000;
}

bool BusyLoad::startAnnounced(int processes, int files) {
    say(QStringLiteral("busy: starting %1 node processes holding %2 open files each...")
            .arg(processes)
            .arg(files));
    if (!m_root.isValid()) {
        say("error: cannot create a temporary folder for the busy load");
        return false;
    }
    const QString script = m_root.path() + "/hold.js";
    QFile out(script);
    if (!out.open(QIODevice::WriteOnly) || out.write(kHolder) < 0) {
        say("error: cannot write " + script);
        return false;
    }
    out.close();
    const QString node = nodeProgram();
    for (int i = 0; i < processes; ++i) {
        auto process = std::make_shared<QProcess>();
        process->setWorkingDirectory(m_root.path());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(node, {script, QStringLiteral("%1/held-%2").arg(m_root.path()).arg(i),
                              QString::number(files)});
        if (!process->waitForStarted(10'000)) {
            say("error: cannot start " + node);
            return false;
        }
        trackChild(process->processId());
        m_processes.append(process);
    }
    QElapsedTimer clock;
    clock.start();
    for (const auto& process : m_processes) {
        while (!process->canReadLine()) {
            if (interruptedBy() != 0 || process->state() != QProcess::Running ||
                clock.elapsed() > 60'000) {
                say(interruptedBy() != 0 ? QStringLiteral("busy: interrupted")
                                         : QStringLiteral("error: a busy process did not get "
                                                          "its files open"));
                return false;
            }
            process->waitForReadyRead(100);
        }
        const QString line = QString::fromUtf8(process->readLine()).trimmed();
        if (line != QLatin1String("ready")) {
            say("error: busy process: " + line);
            return false;
        }
    }
    return true;
}

void BusyLoad::stopAll() {
    QList<QProcess*> processes;
    for (const auto& process : m_processes) {
        processes.append(process.get());
    }
    stopAndWait(processes);
    m_processes.clear();
}

}  // namespace varnholt::bench
