#pragma once

#include <QString>

#include <functional>

#include "app/panel/PanelData.h"

namespace varnholt {

class ExposureMonitor;

// Where the app meets what tests cannot run: the user's eyes, the network,
// the desktop's tray and compositor. Empty members mean the real thing.
struct AppHooks {
    // Shows an alert the user must read.
    std::function<void(const QString& message, const QString& informative)> alert;
    // Where a refresh gets its data; the app's own gather() when empty.
    std::function<PanelData()> dataSource;
    // Is there a tray, a compositor?
    std::function<bool()> trayProbe;
    std::function<bool()> compositorProbe;
    // Keeps the tray's badge and the network notices in step with each
    // refresh; launch() makes the desktop's own when there is none.
    ExposureMonitor* exposure = nullptr;
};

}  // namespace varnholt
