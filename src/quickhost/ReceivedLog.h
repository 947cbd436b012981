#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace varnholt {

// One file a visitor uploaded into a package's "Received" folder, as the
// file server records it and the app announces it.
struct ReceivedFile {
    QString name;     // its final name inside "Received"
    qint64 size = 0;  // bytes
    QString from;     // the sender's address, as text

    bool operator==(const ReceivedFile&) const = default;
};

// The record the server appends, one line per finished upload, to a hidden
// file in the package folder: NAME TAB SIZE TAB ADDRESS NEWLINE. Names made
// safe for the disk hold no control characters, so they need no quoting.
namespace ReceivedLog {

inline constexpr char kFileName[] = ".varnholt-received";

// Empty when the record cannot be written as one line (a control character
// in a field, a negative size): such an upload is not announced.
QByteArray line(const ReceivedFile& file);

// Every complete, well-formed line; a last line without its newline (still
// being written) and malformed ones are skipped. consumed is set to the
// bytes up to and including the last newline, where reading resumes.
QList<ReceivedFile> parse(const QByteArray& bytes, qsizetype* consumed = nullptr);

}  // namespace ReceivedLog

}  // namespace varnholt
