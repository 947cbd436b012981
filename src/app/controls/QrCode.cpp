#include "QrCode.h"

#include <qrencode.h>

namespace varnholt {

std::optional<QrCode> encodeQr(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QRcode* encoded = QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!encoded) {
        return std::nullopt;
    }
    QrCode code;
    code.size = encoded->width;
    code.modules.resize(code.size * code.size);
    for (int i = 0; i < code.size * code.size; ++i) {
        code.modules[i] = (encoded->data[i] & 1) != 0;
    }
    QRcode_free(encoded);
    return code;
}

}  // namespace varnholt
