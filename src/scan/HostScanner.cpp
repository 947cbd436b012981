#include "HostScanner.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <QMutex>

#include <pwd.h>

#include <algorithm>
#include <array>

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

// NSS may ask a directory server for a name; each uid is asked once.
QString userName(quint32 uid) {
    static QMutex mutex;
    static QHash<quint32, QString> names;
    const QMutexLocker lock(&mutex);
    auto found = names.constFind(uid);
    if (found != names.constEnd()) {
        return *found;
    }
    QString name = QString::number(uid);
    struct passwd entry {};
    struct passwd* result = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_name && *result->pw_name) {
        name = QString::fromLocal8Bit(result->pw_name);
    }
    return *names.insert(uid, name);
}

struct Endpoint {
    QString host;
    qint64 port = 0;
};

std::optional<Endpoint> endpointOf(const ListeningSocket& socket) {
    const qsizetype colon = socket.name.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        return std::nullopt;
    }
    const auto port = ListingParser::parseInt64(trimmedSpacesAndTabs(socket.name.mid(colon + 1)));
    if (!port || *port == indexServerPort) {
        return std::nullopt;
    }
    return Endpoint{socket.name.left(colon), *port};
}

bool mayOwnServer(const QString& command) {
    return containsAny(command.toLower(), whitelist);
}

// One scan's records and what it looked up on the way. One process often
// listens on several sockets (IPv4 and IPv6, or a few ports); its command
// line and name are looked up once per scan. An unreadable pid (0) may stand
// for several processes, so it is never cached.
class ScanPass {
public:
    ScanPass(ProcessSource& source, const ScanOptions& options)
        : m_source(source), m_options(options) {}

    void addVisible(const ListeningSocket& socket);
    void addHidden(const ListeningSocket& socket);
    QList<HostedPort> sorted();

private:
    QString fullCommandOf(qint32 pid);
    QString folderOf(qint32 pid, const QString& fullCommand);

    ProcessSource& m_source;
    const ScanOptions m_options;
    QList<HostedPort> m_records;
    QSet<QString> m_kept;
    QHash<qint32, QString> m_fullCommands;
    QHash<qint32, QString> m_folders;
};

QString ScanPass::fullCommandOf(qint32 pid) {
    if (pid > 0 && m_fullCommands.contains(pid)) {
        return m_fullCommands.value(pid);
    }
    const QString fullCommand = m_source.fullCommand(pid);
    if (pid > 0) {
        m_fullCommands.insert(pid, fullCommand);
    }
    return fullCommand;
}

QString ScanPass::folderOf(qint32 pid, const QString& fullCommand) {
    if (pid > 0 && m_folders.contains(pid)) {
        return m_folders.value(pid);
    }
    const QString folder = servedFolder(pid, fullCommand, m_source);
    if (pid > 0) {
        m_folders.insert(pid, folder);
    }
    return folder;
}

void ScanPass::addVisible(const ListeningSocket& socket) {
    const bool forwarder = isContainerForwarder(socket.command);
    const bool unfiltered = m_options.everyListener || forwarder;
    if (!unfiltered && !mayOwnServer(socket.command)) {
        return;
    }
    const auto endpoint = endpointOf(socket);
    // A later socket of a process and port already listed would be dropped
    // as a duplicate anyway; spare it the lookups.
    if (!endpoint || m_kept.contains(key(socket.pid, endpoint->port))) {
        return;
    }
    const QString scope = scopeOf(endpoint->host);
    const QString fullCommand = fullCommandOf(socket.pid);
    if (!unfiltered && scope == QLatin1String("LOCAL") &&
        !containsAny(fullCommand.toLower(), localServerMarkers)) {
        return;
    }

    HostedPort record{socket.pid,    socket.command, endpoint->port,
                      scope,         QString(),      withoutLineEnd(fullCommand),
                      endpoint->host};
    if (forwarder) {
        // The forwarder's folder says nothing of what the container serves.
        record.friendlyName = QString::fromLatin1(kContainerName);
        record.kind = HostedPort::Kind::Container;
    } else if (!mayOwnServer(socket.command)) {
        // Listed on request only: a database's or a daemon's working folder
        // is no name a person would know it by.
        record.friendlyName = socket.command;
    } else {
        const QString folder = folderOf(socket.pid, fullCommand);
        record.friendlyName = folder.isEmpty() ? socket.command : lastPathComponent(folder);
        record.servedFolder = absoluteFolder(socket.pid, folder, m_source);
    }
    m_kept.insert(key(socket.pid, endpoint->port));
    m_records.append(record);
}

void ScanPass::addHidden(const ListeningSocket& socket) {
    const bool forwarder = isContainerForwarder(socket.command);
    if (!forwarder && !m_options.everyListener) {
        return;
    }
    const auto endpoint = endpointOf(socket);
    if (!endpoint) {
        return;
    }
    // Hidden sockets have no pid to tell them apart: one row per owner and
    // port, as for a process's IPv4 and IPv6 sockets.
    const QString recordKey = QStringLiteral("h") +
                              (socket.ownerUid ? QString::number(*socket.ownerUid) : QString()) +
                              QLatin1Char('-') + QString::number(endpoint->port);
    if (m_kept.contains(recordKey)) {
        return;
    }
    // pid stays 0 either way: a root-owned proxy is never ours to signal.
    HostedPort record{0,         socket.command, endpoint->port, scopeOf(endpoint->host),
                      QString(), QString(),      endpoint->host};
    if (forwarder) {
        record.friendlyName = QString::fromLatin1(kContainerName);
        record.kind = HostedPort::Kind::Container;
    } else {
        record.friendlyName = QString::fromLatin1(kOtherUsersProgram);
        if (socket.ownerUid) {
            record.friendlyName +=
                QStringLiteral(" (") + userName(*socket.ownerUid) + QLatin1Char(')');
        }
        record.kind = HostedPort::Kind::OtherUser;
    }
    m_kept.insert(recordKey);
    m_records.append(record);
}

QList<HostedPort> ScanPass::sorted() {
    std::stable_sort(m_records.begin(), m_records.end(),
                     [](const HostedPort& a, const HostedPort& b) { return a.port < b.port; });
    return m_records;
}

}  // namespace

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
