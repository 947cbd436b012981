#include "Store.h"

namespace varnholt::Store {

QSet<QString> pausedPaths() { return {}; }
void setPausedPaths(const QSet<QString>&) {}
void insertPausedPath(const QString&) {}
void removePausedPath(const QString&) {}
std::optional<QString> defaultOpenFolder() { return std::nullopt; }
void setDefaultOpenFolder(const std::optional<QString>&) {}
bool collapsed(const QString&) { return false; }
void setCollapsed(const QString&, bool) {}
bool panelCollapsed() { return false; }
void setPanelCollapsed(bool) {}
QList<RecentEvent> recent() { return {}; }
void setRecent(const QList<RecentEvent>&) {}
void logRecent(const QString&, const QString&, const std::optional<QString>&) {}
void removeRecent(const RecentEvent&) {}
std::optional<QByteArray> encodeRecent(const QList<RecentEvent>&) { return std::nullopt; }
std::optional<QList<RecentEvent>> decodeRecent(const QByteArray&) { return std::nullopt; }

}  // namespace varnholt::Store
