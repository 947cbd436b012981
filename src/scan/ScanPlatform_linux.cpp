#include "CommandLineSource.h"
#include "ScanPlatform.h"

namespace varnholt::ScanPlatform {

std::unique_ptr<ProcessSource> defaultSource() { return std::make_unique<CommandLineSource>(); }

std::optional<bool> isFreePortNative(qint64) { return std::nullopt; }

}  // namespace varnholt::ScanPlatform
