#include "PortPolicy.h"

#include <QStringList>

#include <algorithm>

namespace varnholt::PortPolicy {

namespace {
constexpr int kCapNetBindService = 10;
constexpr qint64 kClassicUnprivilegedStart = 1024;
}  // namespace

std::optional<std::pair<qint64, qint64>> bindableRange(qint64 first, qint64 last, qint64 lowest) {
    const qint64 from = std::max(first, lowest);
    if (from > last) {
        return std::nullopt;
    }
    return std::make_pair(from, last);
}

bool hasNetBindService(const QString& procStatus) {
    const QStringList lines = procStatus.split('\n');
    for (const QString& line : lines) {
        if (!line.startsWith("CapEff:")) {
            continue;
        }
        bool ok = false;
        const quint64 caps = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (caps & (quint64{1} << kCapNetBindService)) != 0;
    }
    return false;
}

qint64 unprivilegedPortStart(const QString& text) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < 0) {
        return kClassicUnprivilegedStart;
    }
    return value;
}

qint64 lowestBindablePort(bool isRoot, const QString& procStatus, const QString& portStartText) {
    if (isRoot || hasNetBindService(procStatus)) {
        return 0;
    }
    return unprivilegedPortStart(portStartText);
}

}  // namespace varnholt::PortPolicy
