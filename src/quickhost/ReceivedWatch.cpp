#include "ReceivedWatch.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnholt {

namespace {

// The record, opened without following a link (anyone who can write the
// package folder could plant one) and only when it is a regular file.
int openRecord(const QString& packagePath, struct stat& st) {
    const QByteArray path =
        QFile::encodeName(packagePath + QLatin1Char('/') + QLatin1String(ReceivedLog::kFileName));
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QByteArray readAt(int fd, qint64 offset, qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size_t(length - done), offset + done);
        if (got <= 0) {
            break;
        }
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

}  // namespace

QList<ReceivedFile> ReceivedWatch::poll(const QString& packagePath, qint32 pid) {
    struct stat st {};
    const int fd = openRecord(packagePath, st);
    const qint64 size = fd < 0 ? 0 : qint64(st.st_size);
    auto it = m_seen.find(packagePath);
    if (it == m_seen.end() || it->pid != pid) {
        // A package served anew (a new link, uploads turned on) keeps its
        // count; only its reading starts over, at the end.
        const int count = it == m_seen.end() ? 0 : it->count;
        m_seen.insert(packagePath, Seen{pid, size, count});
        if (fd >= 0) {
            ::close(fd);
        }
        return {};
    }
    if (size < it->offset) {
        it->offset = 0;  // replaced or emptied: read it from its start
    }
    QList<ReceivedFile> files;
    if (fd >= 0 && size > it->offset) {
        qsizetype consumed = 0;
        const QByteArray bytes = readAt(fd, it->offset, qMin(size - it->offset, kReadLimit));
        files = ReceivedLog::parse(bytes, &consumed);
        // A line longer than a whole read is no record of ours: passed over,
        // so it cannot stop the ones after it.
        it->offset += consumed == 0 && bytes.size() == kReadLimit ? bytes.size() : consumed;
        it->count += int(files.size());
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return files;
}

int ReceivedWatch::count(const QString& packagePath) const {
    return m_seen.value(packagePath).count;
}

void ReceivedWatch::keepOnly(const QSet<QString>& watched) {
    m_seen.removeIf([&](const auto& it) { return !watched.contains(it.key()); });
}

}  // namespace varnholt
