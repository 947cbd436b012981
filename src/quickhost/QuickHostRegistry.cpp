#include "QuickHostRegistry.h"

namespace varnholt {

QuickHostRegistry& QuickHostRegistry::shared() {
    static QuickHostRegistry registry;
    return registry;
}

QuickHostRegistry::QuickHostRegistry(QString root, qint64 firstPort, qint64 lastPort)
    : m_root(std::move(root)), m_firstPort(firstPort), m_lastPort(lastPort) {}

std::optional<QuickHostEntry> QuickHostRegistry::info(const QString& path) const {
    auto it = m_running.constFind(path);
    if (it == m_running.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

std::optional<QuickHostEntry> QuickHostRegistry::start(const QString&, const QString&) {
    return std::nullopt;
}

void QuickHostRegistry::stop(const QString& path) { m_running.remove(path); }

void QuickHostRegistry::pruneDead() {}

QString QuickHostRegistry::slug(const QString& path) { return path; }

}  // namespace varnholt
