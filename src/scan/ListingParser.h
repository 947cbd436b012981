#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "ListeningSocket.h"

namespace varnholt::ListingParser {

// `lsof -F pcn` field output to one record per socket line ("n"), carrying
// the last process id and command seen before it.
QList<ListeningSocket> parseListing(const QString& output);

// `lsof -a -p PID -d cwd -Fn`: the first name line that is neither empty nor
// "/"; the empty text when there is none.
QString parseCwdListing(const QString& output);

// A decimal signed integer with an optional sign and digits only.
std::optional<qint32> parseInt32(const QString& text);
std::optional<qint64> parseInt64(const QString& text);

}  // namespace varnholt::ListingParser
