#include "ServerAdoption.h"

#include <QDir>
#include <QFileInfo>

namespace varnholt::ServerAdoption {

namespace {

// The port and the folder of
// "varnholt-serve [--bind A] [--allow-uploads] --port P FOLDER".
bool readArguments(const QStringList& arguments, qint64& port, QString& folder) {
    port = -1;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if ((argument == QLatin1String("--port") || argument == QLatin1String("--bind")) &&
            i + 1 < arguments.size()) {
            if (argument == QLatin1String("--port")) {
                bool ok = false;
                port = arguments[i + 1].toLongLong(&ok);
                port = ok ? port : -1;
            }
            ++i;
        } else if (argument == QLatin1String("--allow-uploads")) {
            continue;
        } else if (folder.isEmpty() && !argument.startsWith(QLatin1String("--"))) {
            folder = argument;
        } else {
            return false;
        }
    }
    return port > 0 && !folder.isEmpty();
}

}  // namespace

bool takesUploads(const ServerProcess::Facts& facts) {
    // Only a private server accepts them, whatever it was told.
    return !facts.token.isEmpty() && facts.arguments.contains(QLatin1String("--allow-uploads"));
}

std::optional<QString> packageOf(const HostedPort& server, const ServerProcess::Facts& facts,
                                 const Claim& claim, const QList<QuickHostPackage>& packages) {
    const QString program = QFileInfo(claim.serverProgram).canonicalFilePath();
    if (program.isEmpty() || facts.executable != program || facts.owner != claim.user ||
        server.port < claim.firstPort || server.port > claim.lastPort) {
        return std::nullopt;
    }
    qint64 port = -1;
    QString folder;
    if (!readArguments(facts.arguments, port, folder) || port != server.port) {
        return std::nullopt;
    }
    const QString cleaned = QDir::cleanPath(folder);
    const QString real = QFileInfo(folder).canonicalFilePath();
    for (const QuickHostPackage& package : packages) {
        if (QDir::cleanPath(package.path) == cleaned ||
            (!real.isEmpty() && QFileInfo(package.path).canonicalFilePath() == real)) {
            return package.path;
        }
    }
    return std::nullopt;
}

}  // namespace varnholt::ServerAdoption
