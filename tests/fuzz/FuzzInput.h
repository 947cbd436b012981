#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// What the fuzz targets share: turning libFuzzer's bytes into the inputs of
// a parser, and stopping a run when a result breaks what callers rely on.
namespace varnholt::fuzz {

inline QByteArray bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The input cut at separator bytes into exactly count parts (the last takes
// the rest, missing ones are empty), so one input feeds several texts that a
// parser's caller reads together.
inline QList<QByteArray> parts(const QByteArray& input, char separator, int count) {
    QList<QByteArray> result;
    qsizetype from = 0;
    for (int i = 0; i < count - 1; ++i) {
        const qsizetype at = input.indexOf(separator, from);
        if (at < 0) {
            break;
        }
        result.append(input.mid(from, at - from));
        from = at + 1;
    }
    result.append(input.mid(from));
    while (result.size() < count) {
        result.append(QByteArray());
    }
    return result;
}

// A broken promise is a finding like a crash: abort so libFuzzer keeps the
// input that showed it.
inline void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace varnholt::fuzz
