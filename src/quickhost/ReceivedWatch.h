#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include "ReceivedLog.h"

namespace varnholt {

// Follows the record of received files of each package whose server takes
// uploads, so the app can announce every new file once and count them. A
// refresh that finds the record unchanged costs one stat.
class ReceivedWatch {
public:
    // What reading one poll may take: a record grown by more waits for the
    // next refresh.
    static constexpr qint64 kReadLimit = 1024 * 1024;

    // The files recorded since the last poll of this server. The first poll
    // of a server (a new pid) starts at the record's end: what came before
    // the app watched was announced then, or belongs to an earlier run.
    QList<ReceivedFile> poll(const QString& packagePath, qint32 pid);
    // How many files the package received while watched, over every
    // server it had since.
    int count(const QString& packagePath) const;
    // Drops every package not in watched (removed or paused).
    void keepOnly(const QSet<QString>& watched);

private:
    struct Seen {
        qint32 pid = 0;
        qint64 offset = 0;  // where the next unread line begins
        int count = 0;
    };
    QHash<QString, Seen> m_seen;
};

}  // namespace varnholt
