#include "ContentType.h"

#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>
#include <QMutex>
#include <QString>

namespace varnholt::serve {

namespace {

QByteArray suffixOf(QByteArrayView fileName) {
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot <= 0 ? QByteArray() : fileName.sliced(dot + 1).toByteArray().toLower();
}

QMimeType mimeFor(QByteArrayView fileName) {
    static const QMimeDatabase database;
    return database.mimeTypeForFile(QString::fromUtf8(fileName), QMimeDatabase::MatchExtension);
}

}  // namespace

QByteArray contentTypeFor(QByteArrayView fileName) {
    // Asked on every request: the answer per suffix is kept.
    static QMutex mutex;
    static QHash<QByteArray, QByteArray> known;
    const QByteArray suffix = suffixOf(fileName);
    {
        const QMutexLocker lock(&mutex);
        const auto it = known.constFind(suffix);
        if (it != known.constEnd()) {
            return *it;
        }
    }
    const QMimeType mime = mimeFor(fileName);
    QByteArray type =
        mime.isValid() ? mime.name().toUtf8() : QByteArray("application/octet-stream");
    const bool text = type.startsWith("text/") || mime.inherits(QStringLiteral("text/plain"));
    if (text && type != "text/html") {
        type += "; charset=utf-8";
    }
    const QMutexLocker lock(&mutex);
    if (known.size() < 4096) {
        known.insert(suffix, type);
    }
    return type;
}

QByteArray kindOf(QByteArrayView fileName, bool folder) {
    if (folder) {
        return "folder";
    }
    const QString type = mimeFor(fileName).name();
    for (const char* kind : {"image", "video", "audio", "text"}) {
        if (type.startsWith(QLatin1String(kind) + QLatin1Char('/'))) {
            return kind;
        }
    }
    if (type.contains(QLatin1String("zip")) || type.contains(QLatin1String("tar")) ||
        type.contains(QLatin1String("compressed")) || type.contains(QLatin1String("archive"))) {
        return "archive";
    }
    return "file";
}

}  // namespace varnholt::serve
