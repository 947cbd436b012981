#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace varnholt::serve {

// "Sun, 06 Nov 1994 08:49:37 GMT", the one form a server sends.
QByteArray httpDate(qint64 secondsSinceEpoch);
// Reads that form back; absent for anything else (a client's obsolete
// forms then simply do not match, and the full answer goes out).
std::optional<qint64> parseHttpDate(QByteArrayView text);

}  // namespace varnholt::serve
