#pragma once

#include <QList>
#include <QString>

#include <sys/types.h>

#include <optional>

#include "QuickHostPackage.h"
#include "ServerProcess.h"
#include "scan/HostedPort.h"

namespace varnholt::ServerAdoption {

struct Claim {
    QString serverProgram;  // this installation's varnholt-serve
    uid_t user = 0;
    qint64 firstPort = 0;
    qint64 lastPort = 0;
};

// The package a listening process serves when it is a server we start:
// it runs this installation's server program, belongs to the user, listens
// within the range on the very port it was started for, and serves one of
// the packages (as they are listed from the user's packages folder). The
// path returned is the package's, as listed. Absent for anything else.
std::optional<QString> packageOf(const HostedPort& server, const ServerProcess::Facts& facts,
                                 const Claim& claim, const QList<QuickHostPackage>& packages);

// Whether a server taken back accepts uploads: it was started with
// --allow-uploads and serves privately.
bool takesUploads(const ServerProcess::Facts& facts);

}  // namespace varnholt::ServerAdoption
