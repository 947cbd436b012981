#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace varnholt::test {

struct HttpReply {
    int status = 0;
    QByteArray body;
};

// A plain HTTP/1.0 GET to 127.0.0.1:port, retried until the server accepts or
// the deadline passes (a freshly started server needs a moment to listen).
std::optional<HttpReply> httpGet(qint64 port, const QByteArray& target, int deadlineMs = 8000);

// Holds TCP ports by listening on them, as another server would.
class PortHolder {
public:
    PortHolder() = default;
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool hold(qint64 port);

private:
    std::vector<int> m_fds;
};

// The first of count consecutive ports in [from, to] that this process can
// listen on right now, or none.
std::optional<qint64> freePortBlock(qint64 from, qint64 to, int count);

}  // namespace varnholt::test
