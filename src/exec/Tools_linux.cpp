#include "Tools.h"

namespace varnholt {

const ToolPaths& tools() {
    static const ToolPaths paths{
        .lsof = "/usr/bin/lsof",
        .ps = "/bin/ps",
        .networksetup = {},
        .ipconfig = {},
        .iw = "/usr/sbin/iw",
        .ss = "/usr/bin/ss",
        .rsync = "/usr/bin/rsync",
        .python3 = "/usr/bin/python3",
        .nodeCandidates = {"/opt/homebrew/bin/node", "/usr/local/bin/node", "/usr/bin/node"},
    };
    return paths;
}

QString loginShell() { return "/bin/sh"; }

}  // namespace varnholt
