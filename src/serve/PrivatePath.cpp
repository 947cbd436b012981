#include "PrivatePath.h"

#include <QString>

#include "quickhost/LinkToken.h"

namespace varnholt::serve {

namespace {

constexpr QByteArrayView kLead = "/s/";

}  // namespace

bool isValidToken(QByteArrayView token) {
    // The app's own rule, so the two can never disagree on a token.
    return LinkToken::isWellFormed(QString::fromLatin1(token.data(), token.size()));
}

bool sameToken(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) {
        return false;
    }
    // Every byte is looked at, whatever the first difference; volatile keeps
    // the compiler from turning the loop back into an early exit.
    volatile unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        difference = difference | static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

PrivatePath splitPrivatePath(QByteArrayView raw, QByteArrayView token) {
    PrivatePath result;
    if (token.isEmpty() || !raw.startsWith(kLead)) {
        return result;
    }
    const QByteArrayView after = raw.sliced(kLead.size());
    const qsizetype slash = after.indexOf('/');
    const QByteArrayView given = slash < 0 ? after : after.first(slash);
    if (!sameToken(given, token)) {
        return result;
    }
    if (slash < 0) {
        result.status = PrivatePath::Status::Redirect;
        return result;
    }
    result.status = PrivatePath::Status::Ok;
    result.rest = after.sliced(slash).toByteArray();
    return result;
}

QByteArray privatePrefix(QByteArrayView token) {
    return kLead.toByteArray() + token.toByteArray();
}

}  // namespace varnholt::serve
