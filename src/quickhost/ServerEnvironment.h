#pragma once

#include <QString>
#include <QStringList>

// What the package servers get besides `python3 -m http.server`: Python
// loads a sitecustomize module from PYTHONPATH at start, and ours makes the
// server send text files with a UTF-8 charset (browsers otherwise guess, and
// show UTF-8 text as mojibake). The server and its command stay the same.
namespace varnholt::ServerEnvironment {

// The helper folder under the quick-host root; no package may be served
// from a folder of this name.
inline constexpr char kFolderName[] = ".varnholt-python";

// Writes the module into folder and returns the environment entries for the
// server; none when it cannot be written (the server then runs without it).
QStringList prepare(const QString& folder);

}  // namespace varnholt::ServerEnvironment
