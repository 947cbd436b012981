#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include "HostScanner.h"

namespace varnholt::HostScanner {

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

}  // namespace varnholt::HostScanner
