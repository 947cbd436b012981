#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "ContainerListing.h"
#include "HostedPort.h"
#include "ProcessSource.h"

namespace varnholt::HostScanner {

// A process's short command name must contain one of these (lower-cased).
// bun and deno run the same dev servers node does.
inline const QStringList whitelist = {"python", "node", "bun",   "deno",  "ruby",  "php",
                                      "java",   "http", "serve", "caddy", "nginx", "ngrok"};
// A loopback-only listener's full command line must contain one of these.
inline const QStringList localServerMarkers = {
    "http.server", "simplehttpserver", "http-server", "webpack-dev-server",
    "vite",        "next-server",      "caddy",       "nginx",
    "ngrok"};
// The index server's port; never listed.
inline constexpr qint64 indexServerPort = 5757;
// Short command names (prefixes: the kernel keeps 15 characters) of the
// programs container engines forward published ports with. Their sockets
// are a container's, whatever the word list says.
inline const QStringList containerForwarders = {"docker-proxy", "rootlessport", "pasta",
                                                "slirp4netns"};
inline constexpr char kContainerName[] = "container";
inline constexpr char kOtherUsersProgram[] = "another user's program";

struct ScanOptions {
    // Every TCP listener, not only known kinds of servers: no word list, no
    // loopback filter, and the sockets of programs we cannot see.
    bool everyListener = false;
};

// Listening servers, one per process and port, sorted by port.
QList<HostedPort> scan(const ScanOptions& options = {});
QList<HostedPort> scan(ProcessSource& source, const ScanOptions& options = {});
bool isContainerForwarder(const QString& command);
// "LOCAL" for a loopback host ("127.0.0.1", "[::1]", "localhost"), else "NET".
QString scopeOf(const QString& host);
// Whether a short command name holds one of the whitelist's words.
bool mayOwnServer(const QString& command);
// Whether a loopback-only listener's command line shows a server.
bool hasServerMarker(const QString& fullCommand);
// The scan's records with each published container port as one row named
// by its container, in place of what the socket table showed on that port
// (the forwarder's, or a hidden socket's); a port the engine forwards in the
// kernel has no socket and gets its row all the same. Sorted by port.
QList<HostedPort> withContainers(QList<HostedPort> records,
                                 const QList<ContainerListing::PublishedPort>& published);

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
