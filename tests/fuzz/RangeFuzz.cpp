// The Range header parser: whatever a client sends, a partial answer lies
// within the file, and a range read back from its own text is the same.
#include "FuzzInput.h"
#include "serve/ByteRange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    using serve::RangeRequest;
    const QByteArray input = fuzz::bytes(data, size);
    // The first bytes choose the file's length, the rest is the header.
    qint64 length = 0;
    for (int i = 0; i < 4 && i < input.size(); ++i) {
        length = length * 256 + static_cast<unsigned char>(input[i]);
    }
    const QByteArray header = input.mid(4);
    for (const qint64 size : {length, qint64(0), qint64(1), qint64(1) << 40}) {
        const RangeRequest range = serve::parseRange(header, size);
        if (range.kind != RangeRequest::Kind::Partial) {
            continue;
        }
        fuzz::require(range.first >= 0 && range.first <= range.last && range.last < size);
        const QByteArray again =
            "bytes=" + QByteArray::number(range.first) + '-' + QByteArray::number(range.last);
        const RangeRequest back = serve::parseRange(again, size);
        fuzz::require(back.kind == RangeRequest::Kind::Partial && back.first == range.first &&
                      back.last == range.last);
    }
    return 0;
}
