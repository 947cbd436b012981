#include "NameCheck.h"

#include <QFile>

#include <sys/stat.h>

#include "scan/HostScanner.h"

namespace varnholt::NameCheck {

bool isUndecodable(const QString& path) {
    if (!path.contains(QChar::ReplacementCharacter)) {
        return false;
    }
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) != 0;
}

QString undecodableMessage(const QString& path) {
    return QStringLiteral(
               "The name \u201C%1\u201D is not valid UTF-8, so it can't be hosted. "
               "Rename it and try again.")
        .arg(HostScanner::lastPathComponent(path));
}

}  // namespace varnholt::NameCheck
