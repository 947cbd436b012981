#include <QFileInfo>

#include "ProcessDetails.h"
#include "native/ProcFs.h"

namespace varnholt::ProcessDetails {

QString user(qint32 pid) {
    if (pid <= 0) {
        return {};
    }
    // /proc/PID belongs to the process's effective user.
    const QFileInfo info(QStringLiteral("/proc/") + QString::number(pid));
    if (!info.exists()) {
        return {};
    }
    const QString name = info.owner();
    return name.isEmpty() ? QString::number(info.ownerId()) : name;
}

QString workingDirectory(qint32 pid) {
    return pid > 0 ? ProcFs::workingDirectory(pid) : QString();
}

}  // namespace varnholt::ProcessDetails
