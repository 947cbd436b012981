#include <QFile>

#include <unistd.h>

#include "PortPolicy.h"

namespace varnholt::PortPolicy {

namespace {
QString readSmallFile(const char* path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.read(64 * 1024));
}
}  // namespace

qint64 lowestBindablePort() {
    return lowestBindablePort(geteuid() == 0, readSmallFile("/proc/self/status"),
                              readSmallFile("/proc/sys/net/ipv4/ip_unprivileged_port_start"));
}

}  // namespace varnholt::PortPolicy
