#include "ScanPass.h"

#include <QDir>
#include <QMutex>

#include <pwd.h>

#include <algorithm>
#include <array>

#include "ListingParser.h"

namespace varnholt::HostScanner {

namespace {

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

}  // namespace

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
    if (!unfiltered && scope == QLatin1String("LOCAL") && !hasServerMarker(fullCommand)) {
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

}  // namespace varnholt::HostScanner
