#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

#include "RecentEvent.h"

namespace varnholt::Store {

// The per-user settings. Reads share one parsed reading of the settings file
// until the file changes; every write is synced to disk before it returns. A
// damaged or unwritable file never throws: reads give the fallbacks. Only a
// regular file of the user's own is ever opened (see SettingsFile).
inline constexpr char kOrganization[] = "Varnholt";
inline constexpr char kApplication[] = "Varnholt Control";
inline constexpr int kRecentCap = 8;

QSet<QString> pausedPaths();
void setPausedPaths(const QSet<QString>& paths);
void insertPausedPath(const QString& path);
void removePausedPath(const QString& path);

std::optional<QString> defaultOpenFolder();
void setDefaultOpenFolder(const std::optional<QString>& folder);

bool collapsed(const QString& id);
void setCollapsed(const QString& id, bool value);

bool panelCollapsed();
void setPanelCollapsed(bool value);

// Whether a server that opens to the network is announced; on when unset.
bool notifyWhenExposed();
void setNotifyWhenExposed(bool value);

// Whether every TCP listener is listed, not only known kinds of servers;
// off when unset.
bool showEveryListener();
void setShowEveryListener(bool value);

// Whether a newly hosted package gets a private link rather than the bare
// address; off when unset, so hosting behaves as it always did.
bool shareNewHostsPrivately();
void setShareNewHostsPrivately(bool value);

// The recent log, newest first.
QList<RecentEvent> recent();
void setRecent(const QList<RecentEvent>& events);
void logRecent(const QString& title, const QString& action,
               const std::optional<QString>& path = std::nullopt);
void removeRecent(const RecentEvent& event);

// Every value at once, from one reading of the settings file, for a caller
// that needs several (a refresh): each single read above opens the file anew,
// and a large hand-edited file makes that cost felt. Same fallbacks as the
// single reads; collapsed holds the flag of each id asked for.
struct Snapshot {
    QSet<QString> pausedPaths;
    std::optional<QString> defaultOpenFolder;
    QHash<QString, bool> collapsed;
    bool panelCollapsed = false;
    bool showEveryListener = false;
    QList<RecentEvent> recent;
};
Snapshot snapshot(const QStringList& sectionIds);

// Why the settings cannot be kept (the file is a pipe, a device, a folder,
// another user's, or cannot be written), fit for an alert; empty while they
// can.
QString settingsProblem();

// The stored JSON form of the log. Encoding fails (nullopt) on a non-finite
// time; decoding fails on anything but an array of well-formed events.
std::optional<QByteArray> encodeRecent(const QList<RecentEvent>& events);
std::optional<QList<RecentEvent>> decodeRecent(const QByteArray& json);

}  // namespace varnholt::Store
