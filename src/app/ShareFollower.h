#pragma once

#include <QString>

#include "app/panel/PanelData.h"
#include "quickhost/ReceivedWatch.h"

namespace varnholt {

class ExposureMonitor;
class QuickHostRegistry;

// What private sharing adds to each refresh: the rows of private servers
// hand out their links, and files that arrived through uploads are
// announced once and counted.
class ShareFollower {
public:
    void follow(const QuickHostRegistry& registry, PanelData& data, ExposureMonitor* exposure);
    // Files the package's server received while the app watched.
    int received(const QString& packagePath) const { return m_watch.count(packagePath); }

private:
    ReceivedWatch m_watch;
};

}  // namespace varnholt
