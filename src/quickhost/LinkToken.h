#pragma once

#include <QString>

#include <optional>

namespace varnholt::LinkToken {

// The secret part of a private link: 128 bits from the system's random
// source, base64url without padding (22 characters, safe in a URL path).
// Absent when the random source cannot be read: a guessable link would be
// worse than none.
std::optional<QString> make();

// What the file server accepts as a token: 16 to 128 characters of the
// base64url alphabet.
bool isWellFormed(const QString& token);

}  // namespace varnholt::LinkToken
