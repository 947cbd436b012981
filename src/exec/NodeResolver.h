#pragma once

#include <QString>
#include <QStringList>

namespace varnholt {

// The companion packaging script under the user's home folder.
inline constexpr char kHostMjsSuffix[] = "/.claude/skills/varnholt/payload/host.mjs";
// The user's own companion script when there is one, else the copy an
// installed package ships beside the program, else the user's path (so a
// missing script is reported where the user would put it).
QString hostMjsPath();
QString hostMjsPath(const QString& userScript, const QStringList& packagedScripts);
// Where a package installs the script: share/varnholt-control/ beside the
// program's bin/ folder, then the configured install prefix.
QStringList packagedHostMjsPaths();

// The Node executable to run the companion script with: the first executable
// candidate, else what the login shell's `command -v node` answers, else "node".
QString resolveNode();
QString resolveNode(const QStringList& candidates, const QString& loginShell);

// The usable answer of the login shell: its last non-empty line when that is an
// absolute path to an executable file (a profile may print a greeting first),
// otherwise the empty text.
QString nodeFromLoginShellOutput(const QString& output);

}  // namespace varnholt
