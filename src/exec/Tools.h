#pragma once

#include <QString>
#include <QStringList>

namespace varnholt {

// Where this platform keeps the command-line tools the app runs. One table,
// filled by the platform's own Tools_<os>.cpp.
struct ToolPaths {
    QString lsof;
    QString ps;
    QString networksetup;  // empty where the platform has none
    QString ipconfig;      // empty where the platform has none
    QString iw;            // empty where the platform has none
    QString ss;            // empty where the platform has none
    QString python3;
    QStringList nodeCandidates;
};

const ToolPaths& tools();

// The shell that reads the user's login profile, for finding a Node that only
// the profile puts on the search path.
QString loginShell();

}  // namespace varnholt
