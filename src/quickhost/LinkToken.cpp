#include "LinkToken.h"

#include <QByteArray>

#include <sys/random.h>
#include <cerrno>

#include <algorithm>

namespace varnholt::LinkToken {

std::optional<QString> make() {
    unsigned char bits[16];
    size_t filled = 0;
    while (filled < sizeof bits) {
        const ssize_t got = ::getrandom(bits + filled, sizeof bits - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        filled += size_t(got);
    }
    const QByteArray raw(reinterpret_cast<const char*>(bits), sizeof bits);
    return QString::fromLatin1(
        raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool isWellFormed(const QString& token) {
    return token.size() >= 16 && token.size() <= 128 &&
           std::all_of(token.cbegin(), token.cend(), [](QChar c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
           });
}

}  // namespace varnholt::LinkToken
