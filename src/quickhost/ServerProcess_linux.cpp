#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include "ServerProcess.h"

namespace varnholt::ServerProcess {

namespace {

QByteArray readSmall(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(256 * 1024) : QByteArray();
}

QString procPath(qint32 pid, const char* leaf) {
    return QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(leaf));
}

}  // namespace

qint64 startTime(qint32 pid) {
    if (pid < 1) {
        return 0;
    }
    // The command name may hold spaces and parentheses: the fields are
    // counted from the last ")". The start time is field 22, the 20th after it.
    const QByteArray stat = readSmall(procPath(pid, "stat"));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) {
        return 0;
    }
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    bool ok = false;
    const qint64 value = fields.size() > 19 ? fields[19].toLongLong(&ok) : 0;
    return ok ? value : 0;
}

std::optional<Facts> read(qint32 pid) {
    if (pid < 1) {
        return std::nullopt;
    }
    Facts facts;
    struct stat st {};
    if (::stat(QFile::encodeName(procPath(pid, "")).constData(), &st) != 0) {
        return std::nullopt;
    }
    facts.owner = st.st_uid;
    facts.executable = QFileInfo(procPath(pid, "exe")).symLinkTarget();
    const QByteArray cmdline = readSmall(procPath(pid, "cmdline"));
    for (const QByteArray& argument : cmdline.split('\0')) {
        facts.arguments << QFile::decodeName(argument);
    }
    if (!facts.arguments.isEmpty() && cmdline.endsWith('\0')) {
        facts.arguments.removeLast();
    }
    facts.token = QString::fromLatin1(
        environmentValue(readSmall(procPath(pid, "environ")), "VARNHOLT_SERVE_TOKEN"));
    facts.startTime = startTime(pid);
    if (facts.executable.isEmpty() || facts.startTime == 0) {
        return std::nullopt;
    }
    return facts;
}

}  // namespace varnholt::ServerProcess
