#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace varnholt::serve {

// What a Range header asks of a representation of a known length.
struct RangeRequest {
    enum class Kind {
        Whole,          // no usable single range: send everything with 200
        Partial,        // send [first, last] with 206
        Unsatisfiable,  // 416 with "bytes */length"
    };
    Kind kind = Kind::Whole;
    qint64 first = 0;
    qint64 last = -1;  // inclusive
};

// Parses a Range header value for a file of length bytes. Only single byte
// ranges are honoured; several ranges, other units and malformed values ask
// for the whole file, which a server is always allowed to send.
RangeRequest parseRange(QByteArrayView header, qint64 length);

}  // namespace varnholt::serve
