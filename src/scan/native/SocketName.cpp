#include "SocketName.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>

namespace varnholt::SocketName {

namespace {

bool allZero(const quint8* bytes, int count) {
    return std::all_of(bytes, bytes + count, [](quint8 b) { return b == 0; });
}

QString ipv4(const quint8* bytes, quint16 port) {
    if (allZero(bytes, 4)) {
        return QStringLiteral("*:%1").arg(port);
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, bytes, text, sizeof(text));
    return QStringLiteral("%1:%2").arg(QLatin1StringView(text)).arg(port);
}

}  // namespace

QString local(const InetSocket& socket) {
    const quint8* bytes = socket.address.data();
    if (socket.family == AF_INET) {
        return ipv4(bytes, socket.port);
    }
    if (allZero(bytes, 16)) {
        return QStringLiteral("*:%1").arg(socket.port);
    }
    static constexpr quint8 mappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::equal(bytes, bytes + 12, mappedPrefix)) {
        return ipv4(bytes + 12, socket.port);
    }
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, bytes, text, sizeof(text));
    return QStringLiteral("[%1]:%2").arg(QLatin1StringView(text)).arg(socket.port);
}

}  // namespace varnholt::SocketName
