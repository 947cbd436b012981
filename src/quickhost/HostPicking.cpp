#include "HostPicking.h"

namespace varnholt::HostPicking {

std::optional<QString> packageDirFromOutput(const QString&) { return std::nullopt; }

std::optional<QString> packagePick(const QString&, const QString&, const QString&) {
    return std::nullopt;
}

}  // namespace varnholt::HostPicking
