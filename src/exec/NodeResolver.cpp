#include "NodeResolver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include "Shell.h"
#include "Tools.h"

namespace varnholt {

namespace {

bool isExecutableFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    return ::stat(native.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(native.constData(), X_OK) == 0;
}

}  // namespace

QString hostMjsPath() {
    return hostMjsPath(QDir::homePath() + kHostMjsSuffix, packagedHostMjsPaths());
}

QString hostMjsPath(const QString& userScript, const QStringList& packagedScripts) {
    if (QFileInfo::exists(userScript)) {
        return userScript;
    }
    for (const QString& packaged : packagedScripts) {
        if (QFileInfo(packaged).isFile()) {
            return packaged;
        }
    }
    return userScript;
}

QStringList packagedHostMjsPaths() {
    QStringList paths;
    // Relative to the program first: a package relocated by its prefix, or a
    // local `cmake --install`, still finds its own copy.
    if (QCoreApplication::instance()) {
        paths << QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                 QStringLiteral("/../share/varnholt-control/host.mjs"));
    }
    paths << QStringLiteral(VARNHOLT_PACKAGED_HOST_MJS);
    return paths;
}

QString resolveNode() {
    return resolveNode(tools().nodeCandidates, loginShell());
}

QString resolveNode(const QStringList& candidates, const QString& loginShell) {
    for (const QString& candidate : candidates) {
        if (isExecutableFile(candidate)) {
            return candidate;
        }
    }
    const QString answer =
        nodeFromLoginShellOutput(probe(loginShell, {QStringLiteral("-l"), QStringLiteral("-c"),
                                                    QStringLiteral("command -v node")}));
    return answer.isEmpty() ? QStringLiteral("node") : answer;
}

QString nodeFromLoginShellOutput(const QString& output) {
    // A login profile may print a greeting (or anything else) before the
    // answer; only a last line that names a runnable file is trusted, so the
    // packaging step never tries to launch a sentence.
    const QStringList lines = output.split(QChar(u'\n'));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (line.isEmpty()) {
            continue;
        }
        if (line.startsWith(QChar(u'/')) && isExecutableFile(line)) {
            return line;
        }
        return {};
    }
    return {};
}

}  // namespace varnholt
