#pragma once

#include <QString>

// Earlier versions served a copy of each package from a folder of its own
// under the quick-host root; starting a package removes its copy there.
namespace varnholt::OldCopies {

// Removes root + "/" + slug when root is a real folder of our own (made
// private first, so nobody can swap a link into what is deleted). A root
// that is missing, a link or someone else's is left alone. False when a
// copy was there and could not be removed.
bool removeCopy(const QString& root, const QString& slug);

}  // namespace varnholt::OldCopies
