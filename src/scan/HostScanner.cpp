#include "HostScanner.h"

#include "ScanPlatform.h"

namespace varnholt::HostScanner {

QList<HostedPort> scan() {
    auto source = ScanPlatform::defaultSource();
    return scan(*source);
}
QList<HostedPort> scan(ProcessSource&) { return {}; }
QString friendlyName(qint32, const QString& command, const QString&) { return command; }
QString friendlyName(qint32, const QString& command, const QString&, ProcessSource&) {
    return command;
}
QString lastPathComponent(const QString& path) { return path; }
bool isFreePort(qint64) { return true; }
std::optional<qint64> firstFreePort(qint64, qint64) { return std::nullopt; }
std::optional<qint64> firstFreePort(qint64, qint64, const std::function<bool(qint64)>&) {
    return std::nullopt;
}
void stop(qint32) {}
QString ssid() { return ScanPlatform::ssid(); }
QString wifiIP() { return ScanPlatform::wifiIP(); }
QString packagesFolder() { return {}; }
QList<QuickHostPackage> allPackages() { return {}; }
QList<QuickHostPackage> quickHostPackages() { return {}; }
QList<QuickHostPackage> pausedPackages() { return {}; }

}  // namespace varnholt::HostScanner
