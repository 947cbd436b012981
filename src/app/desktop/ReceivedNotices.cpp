#include "ReceivedNotices.h"

#include <QSet>

#include "ExposureTracker.h"
#include "quickhost/PickLine.h"

namespace varnholt {

QStringList receivedNotices(const QList<ReceivedFile>& files) {
    QStringList notices;
    if (files.size() <= kSeparateNotices) {
        for (const ReceivedFile& file : files) {
            notices << QStringLiteral("Received %1 (%2) from %3")
                           .arg(shortName(file.name), sizeText(file.size), shortName(file.from));
        }
        return notices;
    }
    qint64 bytes = 0;
    QSet<QString> senders;
    for (const ReceivedFile& file : files) {
        bytes += file.size;
        senders.insert(file.from);
    }
    const QString from = senders.size() == 1 ? shortName(files.first().from)
                                             : QStringLiteral("%1 devices").arg(senders.size());
    notices << QStringLiteral("Received %1 files (%2) from %3")
                   .arg(files.size())
                   .arg(sizeText(bytes), from);
    return notices;
}

}  // namespace varnholt
