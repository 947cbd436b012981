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

namespace {
// The capability mask of the line, or none when the line is missing or bad.
std::optional<quint64> capabilities(const QString& procStatus, const QString& name) {
    const QStringList lines = procStatus.split('\n');
    for (const QString& line : lines) {
        if (!line.startsWith(name)) {
            continue;
        }
        bool ok = false;
        const quint64 caps = line.mid(name.size()).trimmed().toULongLong(&ok, 16);
        return ok ? std::optional<quint64>(caps) : std::nullopt;
    }
    return std::nullopt;
}

bool holdsNetBind(quint64 caps) {
    return (caps & (quint64{1} << kCapNetBindService)) != 0;
}
}  // namespace

bool hasNetBindService(const QString& procStatus, const QString& line) {
    const auto caps = capabilities(procStatus, line);
    return caps && holdsNetBind(*caps);
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
    if (isRoot) {
        // Root's child starts with the whole bounding set.
        const auto bounding = capabilities(procStatus, QStringLiteral("CapBnd:"));
        if (!bounding || holdsNetBind(*bounding)) {
            return 0;
        }
    } else if (hasNetBindService(procStatus, QStringLiteral("CapAmb:"))) {
        return 0;
    }
    return unprivilegedPortStart(portStartText);
}

}  // namespace varnholt::PortPolicy
