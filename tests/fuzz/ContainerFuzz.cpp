// What docker ps and podman ps print, as the container probe reads it.
#include "FuzzInput.h"
#include "scan/ContainerListing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    const QByteArray input = fuzz::bytes(data, size);
    for (const auto& ports :
         {ContainerListing::parseDocker(input), ContainerListing::parsePodman(input)}) {
        for (const ContainerListing::PublishedPort& port : ports) {
            fuzz::require(port.hostPort > 0 && port.hostPort <= 65535);
            fuzz::require(!port.id.isEmpty());
            fuzz::require(!ContainerListing::displayName(port).isEmpty());
        }
    }
    return 0;
}
