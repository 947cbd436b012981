#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace varnholt::serve {

// The longest name an upload is saved under, in bytes, before any " (n)".
inline constexpr qsizetype kUploadNameBytes = 200;

// The name a visitor's file is saved under, from whatever name the client
// sent: its last path part (split on '/' and '\'), valid UTF-8 without
// control characters, no leading dots or spaces (never hidden), no trailing
// spaces or dots, at most kUploadNameBytes bytes with the extension kept
// where it fits; "upload" when nothing is left.
QByteArray safeUploadName(QByteArrayView given);

// The name's n-th choice when earlier ones are taken: "photo.jpg",
// "photo (2).jpg", "photo (3).jpg"... (n from 1).
QByteArray numberedName(const QByteArray& name, int n);

}  // namespace varnholt::serve
