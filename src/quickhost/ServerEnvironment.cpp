#include "ServerProcess.h"

namespace varnholt::ServerProcess {

QByteArray environmentValue(const QByteArray& block, const QByteArray& name) {
    const QByteArray prefix = name + '=';
    for (const QByteArray& entry : block.split('\0')) {
        if (entry.startsWith(prefix)) {
            return entry.mid(prefix.size());
        }
    }
    return {};
}

}  // namespace varnholt::ServerProcess
