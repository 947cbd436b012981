#pragma once

#include <QString>

namespace varnholt {

// A name as it may be shown: in a panel row, a tooltip or a terminal. Folder
// and process names are the user's (or anyone's) bytes, and a newline would
// break a one-line row or a table line, an escape sequence would drive the
// terminal, and a direction override would show the text reordered. Each such
// character becomes a visible escape ("\n", "\t", "\r", "\x1b", "\u202e");
// everything else is kept as it is. Only for showing: stored and JSON data
// keep the exact name.
QString displaySafe(const QString& text);

}  // namespace varnholt
