#include "NodeResolver.h"

#include <QDir>

#include "Tools.h"

namespace varnholt {

QString hostMjsPath() { return QDir::homePath() + kHostMjsSuffix; }

QString resolveNode() { return resolveNode(tools().nodeCandidates, loginShell()); }

QString resolveNode(const QStringList&, const QString&) { return "node"; }

QString nodeFromLoginShellOutput(const QString&) { return {}; }

}  // namespace varnholt
