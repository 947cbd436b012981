#include "HostScanner.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <algorithm>

#include "ListingParser.h"
#include "ScanPlatform.h"

namespace varnholt::HostScanner {

namespace {

bool containsAny(const QString& text, const QStringList& words) {
    return std::any_of(words.cbegin(), words.cend(),
                       [&text](const QString& word) { return text.contains(word); });
}

QString scopeOf(const QString& host) {
    if (host.isEmpty() || host == QLatin1String("*")) {
        return QStringLiteral("NET");
    }
    if (host == QLatin1String("127.0.0.1") || host == QLatin1String("[::1]") ||
        host == QLatin1String("localhost")) {
        return QStringLiteral("LOCAL");
    }
    return QStringLiteral("NET");
}

QString trimmedSpacesAndTabs(const QString& text) {
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString withoutLineEnd(QString text) {
    while (!text.isEmpty() &&
           (text.back() == QLatin1Char('\n') || text.back() == QLatin1Char('\r'))) {
        text.chop(1);
    }
    return text;
}

// A relative --directory is taken from the server's working directory; when
// that cannot be read the folder stays unknown rather than guessed.
QString absoluteFolder(qint32 pid, const QString& folder, ProcessSource& source) {
    if (folder.isEmpty() || QDir::isAbsolutePath(folder)) {
        return folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    }
    const QString cwd = source.workingDirectory(pid);
    return cwd.isEmpty() ? QString() : QDir::cleanPath(cwd + QLatin1Char('/') + folder);
}

QString key(qint32 pid, qint64 port) {
    return QString::number(pid) + QLatin1Char('-') + QString::number(port);
}

}  // namespace

QList<HostedPort> scan() {
    auto source = ScanPlatform::defaultSource();
    return scan(*source);
}

QList<HostedPort> scan(ProcessSource& source) {
    QList<HostedPort> records;
    QSet<QString> kept;
    // One process often listens on several sockets (IPv4 and IPv6, or a few
    // ports); its command line and name are looked up once per scan. An
    // unreadable pid (0) may stand for several processes, so it is never
    // cached.
    QHash<qint32, QString> fullCommands;
    QHash<qint32, QString> folders;

    // The whitelist test goes to the source as well, so a source that can
    // tell names apart early need not look further into processes this loop
    // would drop anyway; the loop still applies it to whatever comes back.
    const CommandFilter mayOwnServer = [](const QString& command) {
        return containsAny(command.toLower(), whitelist);
    };
    for (const ListeningSocket& socket : source.listeningSockets(mayOwnServer)) {
        if (!mayOwnServer(socket.command)) {
            continue;
        }
        const qsizetype colon = socket.name.lastIndexOf(QLatin1Char(':'));
        if (colon < 0) {
            continue;
        }
        const QString host = socket.name.left(colon);
        const auto port =
            ListingParser::parseInt64(trimmedSpacesAndTabs(socket.name.mid(colon + 1)));
        if (!port || *port == indexServerPort) {
            continue;
        }
        // A later socket of a process and port already listed would be
        // dropped as a duplicate anyway; spare it the lookups.
        const QString recordKey = key(socket.pid, *port);
        if (kept.contains(recordKey)) {
            continue;
        }
        const QString scope = scopeOf(host);

        const bool cacheable = socket.pid > 0;
        QString fullCommand;
        if (cacheable && fullCommands.contains(socket.pid)) {
            fullCommand = fullCommands.value(socket.pid);
        } else {
            fullCommand = source.fullCommand(socket.pid);
            if (cacheable) {
                fullCommands.insert(socket.pid, fullCommand);
            }
        }

        if (scope == QLatin1String("LOCAL") &&
            !containsAny(fullCommand.toLower(), localServerMarkers)) {
            continue;
        }

        QString folder;
        if (cacheable && folders.contains(socket.pid)) {
            folder = folders.value(socket.pid);
        } else {
            folder = servedFolder(socket.pid, fullCommand, source);
            if (cacheable) {
                folders.insert(socket.pid, folder);
            }
        }
        const QString name = folder.isEmpty() ? socket.command : lastPathComponent(folder);

        kept.insert(recordKey);
        records.append(HostedPort{socket.pid, socket.command, *port, scope, name,
                                  withoutLineEnd(fullCommand), host,
                                  absoluteFolder(socket.pid, folder, source)});
    }

    std::stable_sort(records.begin(), records.end(),
                     [](const HostedPort& a, const HostedPort& b) { return a.port < b.port; });
    return records;
}

QString lastPathComponent(const QString& path) {
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == QLatin1Char('/')) {
        --end;
    }
    if (end == 0) {
        return path.isEmpty() ? QString() : QStringLiteral("/");
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

QString friendlyName(qint32 pid, const QString& command, const QString& fullCommand) {
    auto source = ScanPlatform::defaultSource();
    return friendlyName(pid, command, fullCommand, *source);
}

QString friendlyName(qint32 pid, const QString& command, const QString& fullCommand,
                     ProcessSource& source) {
    const QString folder = servedFolder(pid, fullCommand, source);
    return folder.isEmpty() ? command : lastPathComponent(folder);
}

QString servedFolder(qint32 pid, const QString& fullCommand, ProcessSource& source) {
    static const QString option = QStringLiteral("--directory ");
    const qsizetype at = fullCommand.indexOf(option);
    if (at >= 0) {
        const QStringList pieces =
            fullCommand.mid(at + option.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString folder = pieces.isEmpty() ? QString() : pieces.first();
        // The command line ends with ps's line end; when the folder is the last
        // argument it would otherwise end the name with a line break.
        while (!folder.isEmpty() &&
               (folder.back() == QLatin1Char('\n') || folder.back() == QLatin1Char('\r'))) {
            folder.chop(1);
        }
        const auto quote = [](QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); };
        qsizetype begin = 0;
        qsizetype end = folder.size();
        while (begin < end && quote(folder[begin])) {
            ++begin;
        }
        while (end > begin && quote(folder[end - 1])) {
            --end;
        }
        folder = folder.mid(begin, end - begin);
        if (!folder.isEmpty()) {
            return folder;
        }
    }

    const QString cwd = source.workingDirectory(pid);
    if (!cwd.isEmpty() && cwd != QLatin1String("/")) {
        return cwd;
    }
    return {};
}

QString ssid() {
    return ScanPlatform::ssid();
}
QString wifiIP() {
    return ScanPlatform::wifiIP();
}

}  // namespace varnholt::HostScanner
