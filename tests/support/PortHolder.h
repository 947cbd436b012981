#pragma once

#include <QtGlobal>

#include <vector>

namespace varnholt::test {

// Holds TCP ports by listening on them on all interfaces, as another server
// would; released with the object.
class PortHolder {
public:
    PortHolder() = default;
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool hold(qint64 port);

private:
    std::vector<int> m_fds;
};

}  // namespace varnholt::test
