#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace varnholt::serve {

// A request target's path, checked and split into the names it walks.
struct RequestPath {
    enum class Status {
        Ok,
        BadRequest,  // not a path, a broken escape, NUL, "." or ".."
        NotFound,    // asks for a name that is never served
    };
    Status status = Status::BadRequest;
    QList<QByteArray> names;  // decoded, each a single servable name
    bool trailingSlash = false;
};

// Parses the path part of a request target (no query) as it came off the
// wire: percent-decoded exactly once, segment by segment, so "%2f" can never
// become a separator and "%2e%2e" is refused like "..". Empty segments
// ("a//b") are skipped.
RequestPath parseRequestPath(QByteArrayView raw);

// The path of names as it goes into a link: every byte outside the
// unreserved set percent-encoded.
QByteArray percentEncoded(QByteArrayView name);

}  // namespace varnholt::serve
