#pragma once

#include <QList>
#include <QStringList>

#include "quickhost/ReceivedLog.h"

namespace varnholt {

// The notices for files that just arrived: "Received photo.jpg (3.2 MB)
// from 192.168.1.23" each for up to three, else one that counts them, so a
// phone sending a whole album does not flood the desktop.
QStringList receivedNotices(const QList<ReceivedFile>& files);

}  // namespace varnholt
