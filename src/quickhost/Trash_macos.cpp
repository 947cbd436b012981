#include <QFile>

#include "Trash.h"

namespace varnholt::Trash {

// The Finder's trash always exists, and the platform moves there or fails.
bool moveToTrash(const QString& path, QString* failure) {
    if (QFile::moveToTrash(path)) {
        return true;
    }
    if (failure) {
        *failure = QStringLiteral("%1 could not be moved to the Trash.").arg(path);
    }
    return false;
}

}  // namespace varnholt::Trash
