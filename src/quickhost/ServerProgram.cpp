#include "ServerProgram.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace varnholt::ServerProgram {

QString besideThisProgram() {
    QString folder;
    if (QCoreApplication::instance() != nullptr) {
        folder = QCoreApplication::applicationDirPath();
    } else {
        folder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
    }
    return folder + QLatin1Char('/') + QLatin1String(kName);
}

}  // namespace varnholt::ServerProgram
