// Replies of the kernel's sock_diag interface, as the scan receives them.
#include <netinet/in.h>

#include "FuzzInput.h"
#include "scan/native/SockDiagParser.h"
#include "scan/native/SocketName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    // The seeds' messages carry sequence number 1, as the reader's first
    // request does.
    const SockDiagParser::Chunk chunk = SockDiagParser::parse(fuzz::bytes(data, size), 1);
    fuzz::require(chunk.error >= 0);
    for (const InetSocket& socket : chunk.sockets) {
        fuzz::require(socket.family == AF_INET || socket.family == AF_INET6);
        fuzz::require(!SocketName::local(socket).isEmpty());
    }
    return 0;
}
