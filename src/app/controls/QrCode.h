#pragma once

#include <QString>
#include <QVector>

#include <optional>

namespace varnholt {

// A QR symbol as a square grid of dark (true) and light modules, without the
// quiet zone.
struct QrCode {
    int size = 0;
    QVector<bool> modules;  // row by row

    bool dark(int x, int y) const { return modules[y * size + x]; }
};

// Encodes the text as 8-bit data at error-correction level M; nothing when the
// text cannot be encoded.
std::optional<QrCode> encodeQr(const QString& text);

}  // namespace varnholt
