#include "Tools.h"

namespace varnholt {

const ToolPaths& tools() {
    static const ToolPaths paths{
        .lsof = "/usr/sbin/lsof",
        .ps = "/bin/ps",
        .networksetup = "/usr/sbin/networksetup",
        .ipconfig = "/usr/sbin/ipconfig",
        .iw = {},
        .ss = {},
        .python3 = "/usr/bin/python3",
        .nodeCandidates = {"/opt/homebrew/bin/node", "/usr/local/bin/node", "/usr/bin/node"},
    };
    return paths;
}

QString loginShell() {
    return "/bin/zsh";
}

}  // namespace varnholt
