#include "ScanPlatform.h"
#include "scan/NativeLinuxSource.h"
#include "scan/native/ProcNetTables.h"
#include "scan/native/SockDiag.h"

namespace varnholt::ScanPlatform {

std::unique_ptr<ProcessSource> defaultSource() {
    // Every scan of the app builds on what the previous one learned.
    return std::make_unique<NativeLinuxSource>("/proc", true, OwnerCache::ofSystem());
}

std::optional<bool> isFreePortNative(qint64 port) {
    // Port 0 and numbers past 65535 name no socket the kernel can report;
    // leave such questions to lsof so both paths answer them alike.
    if (port <= 0 || port > 65535) {
        return std::nullopt;
    }
    auto inUse = SockDiag::portInUse(quint16(port));
    if (!inUse) {
        // The same facts as text where netlink is refused: still no lsof,
        // which would read every descriptor of every process for each port.
        inUse = ProcNetTables::portInUse(quint16(port));
    }
    if (!inUse) {
        return std::nullopt;
    }
    return !*inUse;
}

}  // namespace varnholt::ScanPlatform
