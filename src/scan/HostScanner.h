#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "HostedPort.h"
#include "ProcessSource.h"

namespace varnholt::HostScanner {

// A process's short command name must contain one of these (lower-cased).
inline const QStringList whitelist = {"python", "node",  "ruby",  "php",   "java",
                                      "http",   "serve", "caddy", "nginx", "ngrok"};
// A loopback-only listener's full command line must contain one of these.
inline const QStringList localServerMarkers = {
    "http.server", "simplehttpserver", "http-server", "webpack-dev-server",
    "vite",        "next-server",      "caddy",       "nginx",
    "ngrok"};
// The index server's port; never listed.
inline constexpr qint64 indexServerPort = 5757;

// Listening servers, one per process and port, sorted by port.
QList<HostedPort> scan();
QList<HostedPort> scan(ProcessSource& source);

// The folder a server serves, else its command name.
QString friendlyName(qint32 pid, const QString& command, const QString& fullCommand);
QString friendlyName(qint32 pid, const QString& command, const QString& fullCommand,
                     ProcessSource& source);
QString lastPathComponent(const QString& path);
// The folder friendlyName names a server after: the --directory argument as
// written, else a working directory other than "/"; empty when neither.
QString servedFolder(qint32 pid, const QString& fullCommand, ProcessSource& source);

// True when no process holds an internet socket (TCP or UDP, any state) on
// port. A port outside 1...65535 is never free.
bool isFreePort(qint64 port);
// The first free port of from...to (inclusive), trying them in order; nullopt
// when none is free or from > to.
std::optional<qint64> firstFreePort(qint64 from, qint64 to);
std::optional<qint64> firstFreePort(qint64 from, qint64 to,
                                    const std::function<bool(qint64)>& isFree);
// SIGTERM now, SIGKILL 0.8 s later on the main thread if it still lives.
// A pid of 0 or below is ignored.
inline constexpr int kKillDelayMs = 800;
void stop(qint32 pid);

// Wi-Fi network name or the empty text; LAN address or "not connected".
inline constexpr char kNotConnected[] = "not connected";
QString ssid();
QString wifiIP();

}  // namespace varnholt::HostScanner
