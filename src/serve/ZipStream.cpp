#include "ZipStream.h"

#include <QSet>
#include <QString>

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>
#include <cerrno>
#include <vector>

#include "ContentType.h"
#include "ListingPage.h"
#include "Log.h"

namespace varnholt::serve {

namespace {

constexpr int kMaxDepth = 64;
constexpr size_t kChunk = 64 * 1024;

struct Sink {
    int fd = -1;
};

la_ssize_t writeOut(archive*, void* data, const void* buffer, size_t length) {
    auto* sink = static_cast<Sink*>(data);
    const char* at = static_cast<const char*>(buffer);
    size_t left = length;
    while (left > 0) {
        const ssize_t n = ::write(sink->fd, at, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return -1;
        }
        at += n;
        left -= size_t(n);
    }
    return la_ssize_t(length);
}

// Names in the zip are UTF-8; bytes that are not show as U+FFFD.
QByteArray zipName(const QList<QByteArray>& path) {
    QByteArray name;
    for (const QByteArray& part : path) {
        name +=
            (name.isEmpty() ? QByteArray() : QByteArray("/")) + QString::fromUtf8(part).toUtf8();
    }
    return name;
}

bool isPacked(const QByteArray& name) {
    const QByteArray kind = kindOf(name, false);
    return kind == "image" || kind == "video" || kind == "audio" || kind == "archive";
}

class ZipWriter {
public:
    ZipWriter(const PackageTree& tree, archive* zip) : m_tree(tree), m_zip(zip) {}

    bool addFolder(const QList<QByteArray>& names, const QList<QByteArray>& inZip, int depth) {
        QList<PackageTree::Entry> entries = m_tree.list(names);
        sortEntries(entries);
        for (const PackageTree::Entry& entry : entries) {
            const QList<QByteArray> path = QList<QByteArray>(names) << entry.name;
            const QList<QByteArray> zipPath = QList<QByteArray>(inZip) << entry.name;
            const bool ok =
                entry.folder ? addSubfolder(entry, path, zipPath, depth) : addFile(path, zipPath);
            if (!ok) {
                return false;
            }
        }
        return true;
    }

private:
    bool addSubfolder(const PackageTree::Entry& entry, const QList<QByteArray>& path,
                      const QList<QByteArray>& zipPath, int depth) {
        // A link back up would make the zip endless.
        const QByteArray key = QByteArray::number(quint64(entry.device)) + ':' +
                               QByteArray::number(quint64(entry.inode));
        if (depth >= kMaxDepth || m_open.contains(key)) {
            return true;
        }
        archive_entry* item = archive_entry_new();
        archive_entry_set_pathname_utf8(item, (zipName(zipPath) + '/').constData());
        archive_entry_set_filetype(item, AE_IFDIR);
        archive_entry_set_perm(item, 0755);
        archive_entry_set_mtime(item, entry.modified, 0);
        const bool ok = archive_write_header(m_zip, item) == ARCHIVE_OK;
        archive_entry_free(item);
        m_open.insert(key);
        const bool inner = ok && addFolder(path, zipPath, depth + 1);
        m_open.remove(key);
        return inner;
    }

    bool addFile(const QList<QByteArray>& path, const QList<QByteArray>& zipPath) {
        const PackageTree::Target file = m_tree.find(path);
        if (file.kind != PackageTree::Target::Kind::File) {
            if (file.fd >= 0) {
                ::close(file.fd);
            }
            return true;  // gone since it was listed
        }
        if (isPacked(path.back())) {
            archive_write_zip_set_compression_store(m_zip);
        } else {
            archive_write_zip_set_compression_deflate(m_zip);
        }
        archive_entry* item = archive_entry_new();
        archive_entry_set_pathname_utf8(item, zipName(zipPath).constData());
        archive_entry_set_filetype(item, AE_IFREG);
        archive_entry_set_perm(item, 0644);
        archive_entry_set_size(item, la_int64_t(file.st.st_size));
        archive_entry_set_mtime(item, file.st.st_mtime, 0);
        bool ok = archive_write_header(m_zip, item) == ARCHIVE_OK;
        archive_entry_free(item);
        qint64 left = qint64(file.st.st_size);
        while (ok && left > 0) {
            const ssize_t n =
                ::read(file.fd, m_buffer.data(), size_t(std::min<qint64>(left, kChunk)));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            // A file that shrank would leave the entry short of what its
            // header says: the zip ends here rather than lie.
            ok = n > 0 && archive_write_data(m_zip, m_buffer.data(), size_t(n)) == n;
            left -= n > 0 ? n : 0;
        }
        ::close(file.fd);
        return ok && archive_write_finish_entry(m_zip) == ARCHIVE_OK;
    }

    const PackageTree& m_tree;
    archive* m_zip;
    QSet<QByteArray> m_open;
    std::vector<char> m_buffer = std::vector<char>(kChunk);
};

}  // namespace

bool writeZip(const PackageTree& tree, const QList<QByteArray>& names, int fd) {
    Sink sink{fd};
    archive* zip = archive_write_new();
    archive_write_set_format_zip(zip);
    archive_write_set_format_option(zip, "zip", "hdrcharset", "UTF-8");
    archive_write_set_bytes_per_block(zip, int(kChunk));
    archive_write_set_bytes_in_last_block(zip, 1);
    bool ok = archive_write_open(zip, &sink, nullptr, writeOut, nullptr) == ARCHIVE_OK;
    ok = ok && ZipWriter(tree, zip).addFolder(names, {}, 0);
    if (ok) {
        ok = archive_write_close(zip) == ARCHIVE_OK;
    } else {
        qCInfo(lcServe).noquote() << "A zip stream ended early:"
                                  << QString::fromUtf8(archive_error_string(zip));
        // The client sees a broken stream instead of a zip that looks whole.
        ::close(sink.fd);
        sink.fd = -1;
    }
    archive_write_free(zip);
    if (sink.fd >= 0) {
        ::close(sink.fd);
    }
    return ok;
}

}  // namespace varnholt::serve
