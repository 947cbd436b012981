// /proc/net/tcp and tcp6, the fallback where sock_diag is refused.
#include <netinet/in.h>

#include "FuzzInput.h"
#include "scan/native/ProcNetParser.h"
#include "scan/native/SocketName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    const QByteArray text = fuzz::bytes(data, size);
    for (const int family : {AF_INET, AF_INET6}) {
        for (const InetSocket& socket : ProcNetParser::parse(text, family)) {
            fuzz::require(socket.family == family);
            fuzz::require(!SocketName::local(socket).isEmpty());
        }
    }
    return 0;
}
