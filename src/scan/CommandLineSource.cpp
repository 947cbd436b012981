#include "CommandLineSource.h"

namespace varnholt {

QList<ListeningSocket> CommandLineSource::listeningSockets() { return {}; }
QString CommandLineSource::fullCommand(qint32) { return {}; }
QString CommandLineSource::workingDirectory(qint32) { return {}; }

}  // namespace varnholt
