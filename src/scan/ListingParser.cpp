#include "ListingParser.h"

#include <limits>

namespace varnholt::ListingParser {

namespace {

// Only ASCII digits count: QChar::isDigit would also take Arabic-Indic and
// other decimal digits, which no tool ever prints as a number.
bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

template <typename Int>
std::optional<Int> parseSigned(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    // Accumulate towards the sign so that the most negative value fits.
    Int value = 0;
    for (; i < text.size(); ++i) {
        if (!isAsciiDigit(text[i])) {
            return std::nullopt;
        }
        const Int digit = static_cast<Int>(text[i].unicode() - u'0');
        if (negative) {
            if (value < (std::numeric_limits<Int>::min() + digit) / 10) {
                return std::nullopt;
            }
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<Int>::max() - digit) / 10) {
                return std::nullopt;
            }
            value = value * 10 + digit;
        }
    }
    return value;
}

// Lines at line feeds, empty ones dropped, nothing trimmed.
QList<QStringView> lines(const QString& output) {
    QList<QStringView> result;
    for (const QStringView line : QStringView(output).split(QLatin1Char('\n'))) {
        if (!line.isEmpty()) {
            result.append(line);
        }
    }
    return result;
}

}  // namespace

std::optional<qint32> parseInt32(const QString& text) {
    return parseSigned<qint32>(text);
}
std::optional<qint64> parseInt64(const QString& text) {
    return parseSigned<qint64>(text);
}

QList<ListeningSocket> parseListing(const QString& output) {
    QList<ListeningSocket> sockets;
    // Running values: a "p" line replaces the pid but keeps the command, so a
    // process whose "c" line is missing inherits the previous one's.
    qint32 pid = 0;
    QString command;
    for (const QStringView line : lines(output)) {
        const QChar tag = line.front();
        const QStringView value = line.mid(1);
        if (tag == QLatin1Char('p')) {
            pid = parseInt32(value.toString()).value_or(0);
        } else if (tag == QLatin1Char('c')) {
            command = value.toString();
        } else if (tag == QLatin1Char('n')) {
            sockets.append(ListeningSocket{pid, command, value.toString()});
        }
    }
    return sockets;
}

QString parseCwdListing(const QString& output) {
    for (const QStringView line : lines(output)) {
        if (line.front() != QLatin1Char('n')) {
            continue;
        }
        const QStringView value = line.mid(1);
        if (!value.isEmpty() && value != QLatin1String("/")) {
            return value.toString();
        }
    }
    return {};
}

}  // namespace varnholt::ListingParser
