#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace varnholt::serve {

// The Content-Type for a file name, from the desktop's MIME database by the
// name alone (the content is never read for it). Text types other than HTML
// get charset=utf-8: browsers otherwise guess, and show UTF-8 text as
// mojibake; a page names its own encoding, which a header would override.
QByteArray contentTypeFor(QByteArrayView fileName);

// What a listing shows for a file: "folder", "image", "video", "audio",
// "text", "archive" or "file".
QByteArray kindOf(QByteArrayView fileName, bool folder);

}  // namespace varnholt::serve
