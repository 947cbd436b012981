#include "PanelData.h"

#include "scan/DisplayText.h"

namespace varnholt {

QString networkLine(const QString& address, const QString& ssid) {
    if (ssid.isEmpty()) {
        return QStringLiteral("Wi-Fi: ") + address;
    }
    // A network name is whatever bytes the access point sends.
    return displaySafe(ssid) + QStringLiteral(" \u00B7 ") + address;
}

QString compactSummary(const QString& address, qsizetype serverCount) {
    if (serverCount == 0) {
        return address;
    }
    return address + QStringLiteral(" \u2014 ") + QString::number(serverCount) +
           (serverCount == 1 ? QStringLiteral(" file") : QStringLiteral(" files")) +
           QStringLiteral(" hosted");
}

QString countSuffix(qsizetype count) {
    return count > 0 ? QStringLiteral("- ") + QString::number(count) : QString();
}

}  // namespace varnholt
