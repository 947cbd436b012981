#include "HostScanner.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <algorithm>

#include "ScanPass.h"
#include "ScanPlatform.h"

namespace varnholt::HostScanner {

namespace {

bool containsAny(const QString& text, const QStringList& words) {
    return std::any_of(words.cbegin(), words.cend(),
                       [&text](const QString& word) { return text.contains(word); });
}

}  // namespace

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

bool mayOwnServer(const QString& command) {
    return containsAny(command.toLower(), whitelist);
}

bool hasServerMarker(const QString& fullCommand) {
    return containsAny(fullCommand.toLower(), localServerMarkers);
}

bool isContainerForwarder(const QString& command) {
    return std::any_of(containerForwarders.cbegin(), containerForwarders.cend(),
                       [&command](const QString& name) { return command.startsWith(name); });
}

QList<HostedPort> scan(const ScanOptions& options) {
    auto source = ScanPlatform::defaultSource();
    return scan(*source, options);
}

QList<HostedPort> scan(ProcessSource& source, const ScanOptions& options) {
    // The word list goes to the source as well, so a source that can tell
    // names apart early need not look further into processes this pass would
    // drop anyway; the pass still applies it to whatever comes back.
    CommandFilter filter;
    if (!options.everyListener) {
        filter = [](const QString& command) {
            return mayOwnServer(command) || isContainerForwarder(command);
        };
    }
    ScanPass pass(source, options);
    for (const ListeningSocket& socket : source.listeningSockets(filter)) {
        pass.addVisible(socket);
    }
    for (const ListeningSocket& socket : source.hiddenListeners()) {
        pass.addHidden(socket);
    }
    return pass.sorted();
}

QList<HostedPort> withContainers(QList<HostedPort> records,
                                 const QList<ContainerListing::PublishedPort>& published) {
    if (published.isEmpty()) {
        return records;
    }
    QSet<qint64> ports;
    QList<HostedPort> rows;
    QHash<QString, qsizetype> rowOf;  // engine, id and port -> index in rows
    for (const ContainerListing::PublishedPort& port : published) {
        QString address = port.hostIp;
        if (address.isEmpty() || address == QLatin1String("0.0.0.0") ||
            address == QLatin1String("::") || address == QLatin1String("[::]")) {
            address = QStringLiteral("*");
        } else if (address.contains(QLatin1Char(':')) && !address.startsWith(QLatin1Char('['))) {
            address = QLatin1Char('[') + address + QLatin1Char(']');
        }
        const QString scope = scopeOf(address);
        const QString rowKey = port.engine + QLatin1Char(' ') + port.id + QLatin1Char(' ') +
                               QString::number(port.hostPort);
        if (const auto at = rowOf.constFind(rowKey); at != rowOf.constEnd()) {
            // IPv4 and IPv6 of one port: reachable from the network if either is.
            if (scope == QLatin1String("NET")) {
                rows[*at].scope = scope;
                rows[*at].address = address;
            }
            continue;
        }
        HostedPort row{
            0,         port.engine, port.hostPort, scope, ContainerListing::displayName(port),
            QString(), address};
        row.kind = HostedPort::Kind::Container;
        row.engine = port.engine;
        row.containerId = port.id;
        rowOf.insert(rowKey, rows.size());
        rows.append(row);
        ports.insert(port.hostPort);
    }
    records.removeIf([&ports](const HostedPort& record) {
        return record.kind != HostedPort::Kind::Process && ports.contains(record.port);
    });
    records.append(rows);
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
