#include "CommandLineSource.h"
#include "ProcessDetails.h"
#include "exec/Shell.h"
#include "exec/Tools.h"

namespace varnholt::ProcessDetails {

QString user(qint32 pid) {
    if (pid <= 0) {
        return {};
    }
    return probe(tools().ps, {QStringLiteral("-o"), QStringLiteral("user="), QStringLiteral("-p"),
                              QString::number(pid)})
        .trimmed();
}

QString workingDirectory(qint32 pid) {
    return pid > 0 ? CommandLineSource().workingDirectory(pid) : QString();
}

}  // namespace varnholt::ProcessDetails
