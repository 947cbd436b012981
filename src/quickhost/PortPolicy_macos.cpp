#include "PortPolicy.h"

namespace varnholt::PortPolicy {

// Since macOS 10.14 anyone may listen on a low port of 0.0.0.0.
qint64 lowestBindablePort() {
    return 0;
}

}  // namespace varnholt::PortPolicy
