#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace varnholt::test {

struct HttpReply {
    int status = 0;
    QByteArray headers;  // the status line and header lines, as sent
    QByteArray body;
};

// A plain HTTP/1.0 GET to 127.0.0.1:port, retried until the server answers or
// the deadline passes (a freshly started server needs a moment to listen).
std::optional<HttpReply> httpGet(qint64 port, const QByteArray& target = "/",
                                 int deadlineMs = 8000);

// The body of that GET, or an empty array when no answer came.
QByteArray httpBody(qint64 port, const QByteArray& target = "/", int deadlineMs = 8000);

}  // namespace varnholt::test
