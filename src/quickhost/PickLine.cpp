#include "PickLine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QList>

#include <optional>

namespace varnholt {

namespace {

std::optional<qint64> count(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 18) {
        return std::nullopt;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    return text.toLongLong();
}

PickLine making(const QByteArray& rest) {
    // The name arrives as a JSON string, so no byte of it can end the line;
    // wrapping it in an array lets the JSON reader check it strictly.
    if (!rest.startsWith('"')) {
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson('[' + rest + ']', &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1 ||
        !doc.array().at(0).isString() || doc.array().at(0).toString().isEmpty()) {
        return {};
    }
    PickLine line;
    line.kind = PickLine::Kind::Making;
    line.packageDir = doc.array().at(0).toString();
    return line;
}

PickLine progress(const QByteArray& rest) {
    const QList<QByteArray> fields = rest.split(' ');
    if (fields.size() != 4) {
        return {};
    }
    std::optional<qint64> values[4];
    for (int i = 0; i < 4; ++i) {
        values[i] = count(fields[i]);
        if (!values[i]) {
            return {};
        }
    }
    if (*values[0] > *values[1] || *values[2] > *values[3]) {
        return {};
    }
    PickLine line;
    line.kind = PickLine::Kind::Progress;
    line.files = *values[0];
    line.filesTotal = *values[1];
    line.bytes = *values[2];
    line.bytesTotal = *values[3];
    return line;
}

}  // namespace

PickLine parsePickLine(const QByteArray& raw) {
    QByteArray text = raw;
    if (text.endsWith('\r')) {
        text.chop(1);
    }
    if (text.startsWith("making ")) {
        return making(text.mid(7));
    }
    if (text.startsWith("progress ")) {
        return progress(text.mid(9));
    }
    return {};
}

}  // namespace varnholt

namespace varnholt {

QString sizeText(qint64 bytes) {
    static const char* const units[] = {"bytes", "KB", "MB", "GB", "TB"};
    if (bytes < 1000) {
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    }
    double value = double(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        ++unit;
    }
    const QString number =
        value < 10 ? QString::number(value, 'f', 1) : QString::number(qRound64(value));
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString preparingText(const QString& title, const PickLine& progress) {
    QString text = QStringLiteral("Preparing %1\u2026").arg(title);
    if (progress.kind != PickLine::Kind::Progress) {
        return text;
    }
    const qint64 done = progress.bytesTotal > 0 ? progress.bytes : progress.files;
    const qint64 total = progress.bytesTotal > 0 ? progress.bytesTotal : progress.filesTotal;
    const int percent = total > 0 ? int(double(done) * 100.0 / double(total)) : 100;
    text += QStringLiteral(" %1 %").arg(percent);
    if (progress.bytesTotal > 0) {
        text += QStringLiteral(" \u00b7 %1 of %2")
                    .arg(sizeText(progress.bytes), sizeText(progress.bytesTotal));
    }
    return text;
}

}  // namespace varnholt
