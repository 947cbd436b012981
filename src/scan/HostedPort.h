#pragma once

#include <QString>

namespace varnholt {

// One listening server as the panel lists it.
struct HostedPort {
    qint32 pid = 0;  // 0 when the listing gave no readable id: never signal it
    QString command;
    qint64 port = 0;
    QString scope;  // "LOCAL" or "NET"
    QString friendlyName;
};

}  // namespace varnholt
