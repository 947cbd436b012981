// The lsof listing, the cwd listing and the scan's rules over them: whatever
// the tools print, the scan returns well-formed records and safe names.
#include <QSet>

#include <limits>

#include "FuzzInput.h"
#include "scan/DisplayText.h"
#include "scan/HostScanner.h"
#include "scan/ListingParser.h"
#include "scan/ProcessSource.h"

namespace {

using namespace varnholt;

// Every process has the same command line and working folder: the fuzzer
// chooses both along with the listing.
class FuzzSource : public ProcessSource {
public:
    QString listing;
    QString command;
    QString cwd;

    QList<ListeningSocket> listeningSockets() override {
        return ListingParser::parseListing(listing);
    }
    QString fullCommand(qint32) override { return command; }
    QString workingDirectory(qint32) override { return cwd; }
};

// No character that breaks a line, drives a terminal or stands alone as half
// of a surrogate pair.
bool isSafe(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph) {
            return false;
        }
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QList<QByteArray> in = fuzz::parts(fuzz::bytes(data, size), '\0', 3);
    FuzzSource source;
    source.listing = QString::fromUtf8(in[0]);
    source.command = QString::fromUtf8(in[1]);
    source.cwd = QString::fromUtf8(in[2]);

    ListingParser::parseCwdListing(source.listing);
    ListingParser::parseInt32(source.command);
    if (const auto value = ListingParser::parseInt64(source.cwd)) {
        // A number read back from its own decimal text is the same number.
        fuzz::require(ListingParser::parseInt64(QString::number(*value)) == value);
    }

    const QList<HostedPort> servers = HostScanner::scan(source);
    QSet<QString> keys;
    qint64 lastPort = std::numeric_limits<qint64>::min();
    for (const HostedPort& server : servers) {
        fuzz::require(server.scope == QLatin1String("NET") ||
                      server.scope == QLatin1String("LOCAL"));
        fuzz::require(server.port != HostScanner::indexServerPort);
        fuzz::require(server.port >= lastPort);
        lastPort = server.port;
        const QString key = QString::number(server.pid) + '-' + QString::number(server.port);
        fuzz::require(!keys.contains(key));
        keys.insert(key);
        // What a row or the table shows is displaySafe of the name: it must
        // itself be safe, so showing it twice changes nothing.
        const QString shown = displaySafe(server.friendlyName);
        fuzz::require(isSafe(shown));
        fuzz::require(displaySafe(shown) == shown);
    }
    return 0;
}
