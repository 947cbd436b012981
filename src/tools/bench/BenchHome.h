#pragma once

#include <QTemporaryDir>

namespace varnholt::bench {

// Points HOME, the XDG folders (config, data, cache, runtime) and the
// settings location into home, so that nothing the bench or a child it starts
// does can read or write the user's own desktop, settings or runtime files.
// False when the folder could not be made.
bool useTemporaryHome(const QTemporaryDir& home);

}  // namespace varnholt::bench
