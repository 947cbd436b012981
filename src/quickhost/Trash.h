#pragma once

#include <QString>

namespace varnholt::Trash {

// Moves the file or folder to the user's trash. Never anywhere else: when it
// cannot go to the trash it stays where it is, and failure (when given) says
// why in words fit for an alert. One file per platform.
bool moveToTrash(const QString& path, QString* failure = nullptr);

}  // namespace varnholt::Trash
