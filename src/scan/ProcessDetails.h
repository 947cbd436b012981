#pragma once

#include <QString>

// What a row's tooltip tells about a server's process beyond the scan's
// record; looked up only when someone asks, never on every refresh.
namespace varnholt::ProcessDetails {

// The name of the user the process runs as (its number when the name is
// unknown), or the empty text when the process cannot be read.
QString user(qint32 pid);

// The process's working directory, or the empty text when it cannot be read.
QString workingDirectory(qint32 pid);

}  // namespace varnholt::ProcessDetails
