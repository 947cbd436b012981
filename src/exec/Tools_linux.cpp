#include <QFile>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

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
        .python3 = "/usr/bin/python3",
        .nodeCandidates = {"/opt/homebrew/bin/node", "/usr/local/bin/node", "/usr/bin/node"},
    };
    return paths;
}

QString loginShell() {
    const QString fallback = QStringLiteral("/bin/sh");
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr || found->pw_shell == nullptr || found->pw_shell[0] != '/') {
        return fallback;
    }
    // Accounts with no shell carry /usr/sbin/nologin or a missing path; those
    // cannot answer, so the plain shell asks instead.
    struct stat info {};
    if (::stat(found->pw_shell, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::access(found->pw_shell, X_OK) != 0) {
        return fallback;
    }
    return QFile::decodeName(found->pw_shell);
}

}  // namespace varnholt
