#include "ContainerListing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace varnholt::ContainerListing {

namespace {

std::optional<qint64> portNumber(const QString& text) {
    bool ok = false;
    const qint64 port = text.toLongLong(&ok);
    return ok && port > 0 && port <= 65535 ? std::optional<qint64>(port) : std::nullopt;
}

// "8000" or "8000-8002"; nullopt for anything else.
std::optional<std::pair<qint64, qint64>> portRange(const QString& text) {
    const QStringList ends = text.split(QLatin1Char('-'));
    if (ends.size() > 2) {
        return std::nullopt;
    }
    const auto first = portNumber(ends.first());
    const auto last = ends.size() == 2 ? portNumber(ends.last()) : first;
    if (!first || !last || *last < *first) {
        return std::nullopt;
    }
    return std::make_pair(*first, std::min(*last, *first + kMaxRange - 1));
}

void appendRange(QList<PublishedPort>& into, const PublishedPort& base, qint64 first, qint64 last) {
    for (qint64 port = first; port <= last; ++port) {
        PublishedPort published = base;
        published.hostPort = port;
        into.append(published);
    }
}

// One entry of docker's Ports text: "[host:]port[-port]->port[-port]/proto".
// An exposed port that is not published ("80/tcp") names no host port.
void appendDockerEntry(QList<PublishedPort>& into, PublishedPort base, const QString& entry) {
    const qsizetype arrow = entry.indexOf(QStringLiteral("->"));
    if (arrow < 0 || !entry.endsWith(QStringLiteral("/tcp"))) {
        return;
    }
    const QString host = entry.left(arrow);
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    base.hostIp = colon < 0 ? QString() : host.left(colon);
    const auto range = portRange(colon < 0 ? host : host.mid(colon + 1));
    if (range) {
        appendRange(into, base, range->first, range->second);
    }
}

QString firstName(const QJsonValue& names) {
    if (names.isArray()) {
        return names.toArray().first().toString();
    }
    // docker joins a container's names with commas.
    return names.toString().section(QLatin1Char(','), 0, 0);
}

qint64 integer(const QJsonObject& object, const char* snake, const char* camel) {
    const QJsonValue value = object.contains(QLatin1String(snake))
                                 ? object.value(QLatin1String(snake))
                                 : object.value(QLatin1String(camel));
    const double number = value.toDouble(-1);
    return number >= 0 && number <= 65535 ? qint64(number) : -1;
}

void appendPodmanPorts(QList<PublishedPort>& into, PublishedPort base, const QJsonArray& ports) {
    for (const QJsonValue& value : ports) {
        const QJsonObject port = value.toObject();
        const QString protocol = port.value(QLatin1String("protocol")).toString();
        if (!protocol.isEmpty() && protocol != QLatin1String("tcp")) {
            continue;
        }
        const qint64 first = integer(port, "host_port", "hostPort");
        if (first <= 0) {
            continue;
        }
        const qint64 range = std::max<qint64>(1, integer(port, "range", "range"));
        base.hostIp = port.contains(QLatin1String("host_ip"))
                          ? port.value(QLatin1String("host_ip")).toString()
                          : port.value(QLatin1String("hostIP")).toString();
        const qint64 last = std::min({first + range - 1, first + kMaxRange - 1, qint64(65535)});
        appendRange(into, base, first, last);
    }
}

}  // namespace

QList<PublishedPort> parseDocker(const QByteArray& output) {
    QList<PublishedPort> result;
    for (const QByteArray& line : output.split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.isEmpty()) {
            continue;
        }
        PublishedPort base{QStringLiteral("docker"), object.value(QLatin1String("ID")).toString(),
                           firstName(object.value(QLatin1String("Names"))),
                           object.value(QLatin1String("Image")).toString()};
        if (base.id.isEmpty()) {
            continue;  // nothing Stop could name
        }
        const QStringList entries =
            object.value(QLatin1String("Ports")).toString().split(QLatin1Char(','));
        for (const QString& entry : entries) {
            appendDockerEntry(result, base, entry.trimmed());
        }
    }
    return result;
}

QList<PublishedPort> parsePodman(const QByteArray& output) {
    QList<PublishedPort> result;
    for (const QJsonValue& value : QJsonDocument::fromJson(output).array()) {
        const QJsonObject object = value.toObject();
        PublishedPort base{QStringLiteral("podman"), object.value(QLatin1String("Id")).toString(),
                           firstName(object.value(QLatin1String("Names"))),
                           object.value(QLatin1String("Image")).toString()};
        if (base.id.isEmpty()) {
            continue;
        }
        appendPodmanPorts(result, base, object.value(QLatin1String("Ports")).toArray());
    }
    return result;
}

QString displayName(const PublishedPort& port) {
    QString image = port.image;
    for (const QLatin1String prefix :
         {QLatin1String("docker.io/library/"), QLatin1String("docker.io/")}) {
        if (image.startsWith(prefix)) {
            image = image.mid(prefix.size());
            break;
        }
    }
    const QString name = port.name.isEmpty() ? port.id.left(12) : port.name;
    return image.isEmpty() ? name : name + QStringLiteral(" (") + image + QLatin1Char(')');
}

}  // namespace varnholt::ContainerListing
