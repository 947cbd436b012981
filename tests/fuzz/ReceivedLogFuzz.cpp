// The record of received files, as the app reads it back from a package:
// any bytes give whole records only, and each record, written again, reads
// back as itself.
#include "FuzzInput.h"
#include "quickhost/ReceivedLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    const QByteArray bytes = fuzz::bytes(data, size);
    qsizetype consumed = -1;
    const QList<ReceivedFile> files = ReceivedLog::parse(bytes, &consumed);
    fuzz::require(consumed >= 0 && consumed <= bytes.size());
    fuzz::require(consumed == 0 || bytes[consumed - 1] == '\n');
    for (const ReceivedFile& file : files) {
        fuzz::require(file.size >= 0);
        const QByteArray again = ReceivedLog::line(file);
        // Text that is not UTF-8 comes back with replacement characters,
        // which still read as the same record.
        if (!again.isEmpty()) {
            fuzz::require(ReceivedLog::parse(again) == QList<ReceivedFile>{file});
        }
    }
    return 0;
}
