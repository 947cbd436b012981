#include "RequestPath.h"

#include <optional>

#include "ServedNames.h"

namespace varnholt::serve {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<QByteArray> decoded(QByteArrayView segment) {
    QByteArray out;
    out.reserve(segment.size());
    for (qsizetype i = 0; i < segment.size(); ++i) {
        const char c = segment[i];
        if (c != '%') {
            out.append(c);
            continue;
        }
        if (i + 2 >= segment.size()) {
            return std::nullopt;
        }
        const int high = hexValue(segment[i + 1]);
        const int low = hexValue(segment[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.append(char(high * 16 + low));
        i += 2;
    }
    return out;
}

}  // namespace

RequestPath parseRequestPath(QByteArrayView raw) {
    RequestPath result;
    if (raw.isEmpty() || raw.front() != '/') {
        return result;
    }
    result.trailingSlash = raw.size() > 1 && raw.back() == '/';
    bool hidden = false;
    qsizetype from = 1;
    while (from <= raw.size()) {
        qsizetype slash = raw.indexOf('/', from);
        if (slash < 0) {
            slash = raw.size();
        }
        const QByteArrayView segment = raw.sliced(from, slash - from);
        from = slash + 1;
        if (segment.isEmpty()) {
            continue;
        }
        const std::optional<QByteArray> name = decoded(segment);
        if (!name || name->contains('\0') || *name == "." || *name == "..") {
            return RequestPath{};
        }
        // Checked after the whole path is known to be well formed, so a
        // malformed path is always a bad request whatever it names.
        hidden = hidden || name->contains('/') || !isServableName(*name);
        result.names.append(*name);
    }
    result.status = hidden ? RequestPath::Status::NotFound : RequestPath::Status::Ok;
    if (hidden) {
        result.names.clear();
    }
    return result;
}

QByteArray percentEncoded(QByteArrayView name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(name.size());
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool unreserved = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                                (u >= '0' && u <= '9') || u == '-' || u == '.' || u == '_' ||
                                u == '~';
        if (unreserved) {
            out.append(c);
        } else {
            out.append('%');
            out.append(kHex[u >> 4]);
            out.append(kHex[u & 15]);
        }
    }
    return out;
}

}  // namespace varnholt::serve
