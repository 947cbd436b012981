#include "ShareFollower.h"

#include <QSet>

#include "Log.h"
#include "app/desktop/ExposureMonitor.h"
#include "app/desktop/ReceivedNotices.h"
#include "quickhost/QuickHostRegistry.h"

namespace varnholt {

void ShareFollower::follow(const QuickHostRegistry& registry, PanelData& data,
                           ExposureMonitor* exposure) {
    QHash<qint32, QString> links;
    QList<ReceivedFile> arrived;
    const auto& running = registry.running();
    for (auto it = running.cbegin(); it != running.cend(); ++it) {
        if (it->isPrivate()) {
            links.insert(it->pid, it->linkPath());
        }
        if (it->uploads) {
            arrived += m_watch.poll(it.key(), it->pid);
        }
    }
    // Counts last as long as the package is listed, across its servers.
    QSet<QString> listed;
    for (const QuickHostPackage& package : data.quick) {
        listed.insert(package.path);
    }
    m_watch.keepOnly(listed);
    for (HostedPort& server : data.servers) {
        if (server.kind == HostedPort::Kind::Process) {
            server.linkPath = links.value(server.pid);
        }
    }
    for (const ReceivedFile& file : arrived) {
        qCInfo(lcApp).noquote() << QStringLiteral("Received %1 (%2 bytes) from %3")
                                       .arg(file.name)
                                       .arg(file.size)
                                       .arg(file.from);
    }
    if (exposure != nullptr) {
        for (const QString& notice : receivedNotices(arrived)) {
            exposure->announce(notice);
        }
    }
}

}  // namespace varnholt
