#include "ReceivedLog.h"

#include <algorithm>

namespace varnholt::ReceivedLog {

namespace {

bool hasControl(const QByteArray& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::optional<ReceivedFile> parseLine(const QByteArray& line) {
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 3 || fields[0].isEmpty() || fields[2].isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const qint64 size = fields[1].toLongLong(&ok);
    if (!ok || size < 0 || fields[1].startsWith('+') || hasControl(fields[0]) ||
        hasControl(fields[2])) {
        return std::nullopt;
    }
    return ReceivedFile{QString::fromUtf8(fields[0]), size, QString::fromUtf8(fields[2])};
}

}  // namespace

QByteArray line(const ReceivedFile& file) {
    const QByteArray name = file.name.toUtf8();
    const QByteArray from = file.from.toUtf8();
    if (name.isEmpty() || from.isEmpty() || file.size < 0 || hasControl(name) || hasControl(from)) {
        return {};
    }
    return name + '\t' + QByteArray::number(file.size) + '\t' + from + '\n';
}

QList<ReceivedFile> parse(const QByteArray& bytes, qsizetype* consumed) {
    QList<ReceivedFile> files;
    qsizetype start = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; end = bytes.indexOf('\n', start)) {
        if (const auto file = parseLine(bytes.mid(start, end - start))) {
            files.append(*file);
        }
        start = end + 1;
    }
    if (consumed != nullptr) {
        *consumed = start;
    }
    return files;
}

}  // namespace varnholt::ReceivedLog
