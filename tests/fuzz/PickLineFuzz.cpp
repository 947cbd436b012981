// Lines the companion script prints while it copies: any bytes read as one
// record, progress never runs past its total, and a folder name survives
// being printed again the way the script prints it.
#include <QJsonArray>
#include <QJsonDocument>

#include "FuzzInput.h"
#include "quickhost/PickLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    const PickLine line = parsePickLine(fuzz::bytes(data, size));
    switch (line.kind) {
        case PickLine::Kind::Progress:
            fuzz::require(line.files >= 0 && line.files <= line.filesTotal);
            fuzz::require(line.bytes >= 0 && line.bytes <= line.bytesTotal);
            break;
        case PickLine::Kind::Making: {
            fuzz::require(!line.packageDir.isEmpty());
            QByteArray again =
                QJsonDocument(QJsonArray{line.packageDir}).toJson(QJsonDocument::Compact);
            again = "making " + again.mid(1, again.size() - 2);
            fuzz::require(parsePickLine(again) == line);
            break;
        }
        case PickLine::Kind::Other:
            fuzz::require(line == PickLine{});
            break;
    }
    return 0;
}
