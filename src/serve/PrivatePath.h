#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace varnholt::serve {

// A private link's secret, as the app makes it (base64url, no padding):
// 16 to 128 characters of [A-Za-z0-9_-]. Anything else is refused before
// the server listens.
bool isValidToken(QByteArrayView token);

// Whether a and b hold the same bytes, in a time that depends only on their
// lengths: a visitor timing the answers learns nothing of the token's bytes.
bool sameToken(QByteArrayView a, QByteArrayView b);

// A request path checked against the private prefix "/s/TOKEN/".
struct PrivatePath {
    enum class Status {
        Ok,        // under the prefix; rest is what follows it, from its '/'
        Redirect,  // exactly "/s/TOKEN": the folder's URL wants its slash
        NotFound,  // anything else, told apart from nothing that exists
    };
    Status status = Status::NotFound;
    QByteArray rest;
};

// Splits the raw path of a request (before any decoding) by the token.
PrivatePath splitPrivatePath(QByteArrayView raw, QByteArrayView token);

// "/s/TOKEN", the prefix every link of a private server starts with.
QByteArray privatePrefix(QByteArrayView token);

}  // namespace varnholt::serve
