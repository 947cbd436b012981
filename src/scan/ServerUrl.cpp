#include "ServerUrl.h"

#include "HostScanner.h"

namespace varnholt {

QString serverUrl(const QString& ip, qint64 port) {
    const QString host = isConnected(ip) ? ip : QStringLiteral("localhost");
    return QStringLiteral("http://") + host + QLatin1Char(':') + QString::number(port) +
           QLatin1Char('/');
}

QString localUrl(qint64 port) {
    return QStringLiteral("http://localhost:") + QString::number(port) + QLatin1Char('/');
}

bool isConnected(const QString& ip) {
    return ip != QLatin1String(HostScanner::kNotConnected);
}

}  // namespace varnholt
