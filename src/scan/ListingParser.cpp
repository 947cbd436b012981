#include "ListingParser.h"

namespace varnholt::ListingParser {

QList<ListeningSocket> parseListing(const QString&) { return {}; }
QString parseCwdListing(const QString&) { return {}; }
std::optional<qint32> parseInt32(const QString&) { return std::nullopt; }
std::optional<qint64> parseInt64(const QString&) { return std::nullopt; }

}  // namespace varnholt::ListingParser
