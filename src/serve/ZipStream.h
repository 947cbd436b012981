#pragma once

#include <QByteArray>
#include <QList>

#include "PackageTree.h"

namespace varnholt::serve {

// Writes the folder the names lead to, with everything a listing of it and
// of its folders would show, as a zip into fd (the write end of a pipe that
// the server sends), built as it goes: no temporary file. Media and archives
// are stored as they are, other files deflated; zip64 past 4 GB. Stops as
// soon as a write fails, which is how the client's going away shows here.
// Closes fd. False when the zip could not be finished.
bool writeZip(const PackageTree& tree, const QList<QByteArray>& names, int fd);

}  // namespace varnholt::serve
