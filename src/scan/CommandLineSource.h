#pragma once

#include "ProcessSource.h"

namespace varnholt {

// The facts from lsof and ps, as on macOS.
class CommandLineSource : public ProcessSource {
public:
    QList<ListeningSocket> listeningSockets() override;
    QString fullCommand(qint32 pid) override;
    QString workingDirectory(qint32 pid) override;
};

}  // namespace varnholt
