// What the /proc readers parse: descriptor links, raw command lines and a
// server's environment block.
#include "FuzzInput.h"
#include "quickhost/ServerProcess.h"
#include "scan/native/ProcFs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    // A descriptor link, the comm line, then the cmdline bytes (NULs and all).
    const QList<QByteArray> in = fuzz::parts(fuzz::bytes(data, size), '\n', 3);
    ProcFs::socketInode(std::string_view(in[0].constData(), std::size_t(in[0].size())));
    const QString line = ProcFs::formatCommandLine(in[2], QString::fromUtf8(in[1]));
    // Like ps, the line carries no control character but its line end.
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        fuzz::require(line[i] != QLatin1Char('\n') && line[i] != QLatin1Char('\0'));
    }
    // A value never runs into the next entry.
    fuzz::require(!ServerProcess::environmentValue(in[2], "VARNHOLT_SERVE_TOKEN").contains('\0'));
    return 0;
}
