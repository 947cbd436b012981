#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What `docker ps --format '{{json .}}'` and `podman ps --format json` print
// about running containers, kept apart from running them.
namespace varnholt::ContainerListing {

// One TCP port a running container publishes on the host.
struct PublishedPort {
    QString engine;  // "docker" or "podman"
    QString id;
    QString name;
    QString image;
    QString hostIp{};  // as the engine gives it; empty for every interface
    qint64 hostPort{};

    bool operator==(const PublishedPort&) const = default;
};

// A port range ("8000-8100") publishes at most this many ports to the list:
// the listing is anyone's bytes, and a row per port of a huge range helps
// nobody.
inline constexpr int kMaxRange = 64;

// docker: one JSON object per line, its "Ports" a text such as
// "0.0.0.0:8080->80/tcp, :::8080->80/tcp". Lines that are not objects are
// skipped.
QList<PublishedPort> parseDocker(const QByteArray& output);
// podman: one JSON array of objects, "Ports" an array of
// {host_ip, host_port, container_port, range, protocol}.
QList<PublishedPort> parsePodman(const QByteArray& output);

// The row's name: "web (nginx:1.27)", Docker Hub's default prefix left off.
QString displayName(const PublishedPort& port);

}  // namespace varnholt::ContainerListing
