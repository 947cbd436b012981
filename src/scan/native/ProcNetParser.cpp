#include "ProcNetParser.h"

#include <netinet/in.h>

#include <charconv>
#include <cstring>
#include <string_view>

namespace varnholt::ProcNetParser {

namespace {

template <typename T>
bool hexValue(std::string_view text, T& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

template <typename T>
bool decimalValue(std::string_view text, T& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    return ec == std::errc() && end == text.data() + text.size();
}

// "0100007F:1F90" into address bytes and port.
bool endpoint(std::string_view text, int family, std::array<quint8, 16>& address, quint16& port) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view hex = text.substr(0, colon);
    const std::size_t words = family == AF_INET ? 1 : 4;
    if (hex.size() != words * 8) {
        return false;
    }
    address.fill(0);
    for (std::size_t i = 0; i < words; ++i) {
        quint32 word = 0;
        if (!hexValue(hex.substr(i * 8, 8), word)) {
            return false;
        }
        std::memcpy(address.data() + i * 4, &word, sizeof(word));
    }
    return hexValue(text.substr(colon + 1), port);
}

}  // namespace

QList<InetSocket> parse(const QByteArray& text, int family) {
    QList<InetSocket> sockets;
    if (family != AF_INET && family != AF_INET6) {
        return sockets;
    }
    const std::string_view all(text.constData(), std::size_t(text.size()));
    std::size_t lineStart = 0;
    while (lineStart < all.size()) {
        auto lineEnd = all.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = all.size();
        }
        const std::string_view line = all.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        // Fields: sl local remote st tx:rx tr:when retrnsmt uid timeout inode ...
        std::string_view fields[10];
        std::size_t count = 0;
        std::size_t at = 0;
        while (count < 10) {
            at = line.find_first_not_of(" \t", at);
            if (at == std::string_view::npos) {
                break;
            }
            auto end = line.find_first_of(" \t", at);
            if (end == std::string_view::npos) {
                end = line.size();
            }
            fields[count++] = line.substr(at, end - at);
            at = end;
        }
        if (count < 10 || fields[0].empty() || fields[0].back() != ':') {
            continue;  // the header line, or a line cut short
        }
        InetSocket socket;
        socket.family = family;
        std::array<quint8, 16> remote{};
        if (!endpoint(fields[1], family, socket.address, socket.port) ||
            !endpoint(fields[2], family, remote, socket.remotePort) ||
            !hexValue(fields[3], socket.state) || !decimalValue(fields[7], socket.uid) ||
            !decimalValue(fields[9], socket.inode)) {
            continue;
        }
        sockets.append(socket);
    }
    return sockets;
}

}  // namespace varnholt::ProcNetParser
