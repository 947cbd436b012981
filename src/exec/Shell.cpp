#include "Shell.h"

namespace varnholt {

QString shell(const QString&, const QStringList&, const std::optional<QString>&,
              std::optional<std::chrono::milliseconds>) {
    return {};
}

QString probe(const QString& executable, const QStringList& arguments,
              const std::optional<QString>& cwd) {
    return shell(executable, arguments, cwd, kProbeTimeLimit);
}

qint32 shellBackground(const QString&, const QStringList&, const std::optional<QString>&) {
    return -1;
}

}  // namespace varnholt
