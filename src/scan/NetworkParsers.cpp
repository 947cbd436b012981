#include "NetworkParsers.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>

namespace varnholt::NetworkParsers {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// iw prints every byte of a network name that is not printable ASCII (so
// every byte of a UTF-8 letter like é), a backslash, and a space at either
// end as \xNN; undo that so "Café" reads as written.
QString unescapeIw(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && in[i + 1] == 'x' && hexValue(in[i + 2]) >= 0 &&
            hexValue(in[i + 3]) >= 0) {
            out.append(static_cast<char>(hexValue(in[i + 2]) * 16 + hexValue(in[i + 3])));
            i += 3;
        } else {
            out.append(in[i]);
        }
    }
    return QString::fromUtf8(out);
}

}  // namespace

QString ssidFromNetworksetup(const QString& output) {
    static const QString label = QStringLiteral("Current Wi-Fi Network: ");
    const QString trimmed = output.trimmed();
    const qsizetype at = trimmed.indexOf(label);
    if (at < 0) {
        return {};
    }
    return trimmed.mid(at + label.size());
}

QString addressFromIpconfig(const QString& output) {
    const QString trimmed = output.trimmed();
    return trimmed.isEmpty() ? QStringLiteral("not connected") : trimmed;
}

QString ssidFromIwLink(const QString& output) {
    static const QString label = QStringLiteral("SSID: ");
    for (QString line : output.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        qsizetype start = 0;
        while (start < line.size() &&
               (line[start] == QLatin1Char('\t') || line[start] == QLatin1Char(' '))) {
            ++start;
        }
        if (line.mid(start, label.size()) == label) {
            return unescapeIw(line.mid(start + label.size()));
        }
    }
    return {};
}

QStringList defaultRouteInterfaces(const QString& procNetRoute) {
    QStringList names;
    const QStringList lines = procNetRoute.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The first line names the columns: Iface Destination Gateway Flags ...
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields =
            lines[i].split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (fields.size() < 4 || fields[1] != QLatin1String("00000000")) {
            continue;
        }
        bool ok = false;
        const uint flags = fields[3].toUInt(&ok, 16);
        constexpr uint routeUp = 0x0001;
        if (!ok || (flags & routeUp) == 0) {
            continue;
        }
        if (fields.size() >= 8 && fields[7] != QLatin1String("00000000")) {
            continue;  // a mask other than 0 is no default route
        }
        if (!names.contains(fields[0])) {
            names.append(fields[0]);
        }
    }
    return names;
}

}  // namespace varnholt::NetworkParsers
