#include "PackageDiscovery.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "store/Store.h"

namespace varnholt::PackageDiscovery {

namespace {

QList<QuickHostPackage> packagesWhere(bool paused, const QSet<QString>& pausedPaths) {
    QList<QuickHostPackage> result;
    for (const QuickHostPackage& package : allPackages()) {
        if (pausedPaths.contains(package.path) == paused) {
            result.append(package);
        }
    }
    return result;
}

}  // namespace

QString packagesFolder() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    // A user-dirs entry that is empty or relative would put packages wherever
    // the app happened to start; the companion script falls back the same way.
    if (desktop.isEmpty() || QDir::isRelativePath(desktop)) {
        desktop = QDir::homePath() + QStringLiteral("/Desktop");
    }
    return desktop + QStringLiteral("/Varnholt");
}

QList<QuickHostPackage> allPackages() {
    const QString folder = packagesFolder();
    // Read by bytes: the toolkit's listing drops names that are not valid
    // UTF-8 without a word, and such a package must still show up (its Start
    // then says what is wrong with its name).
    const QByteArray nativeFolder = QFile::encodeName(folder);
    DIR* dir = ::opendir(nativeFolder.constData());
    if (dir == nullptr) {
        return {};
    }
    // Code-point order of the canonical form: UTF-8 bytes sort exactly so,
    // where QString's own comparison goes by UTF-16 units. The raw name breaks
    // ties so that the order never depends on the directory's own order.
    struct Entry {
        QByteArray sortKey;
        QByteArray raw;
        QString name;
    };
    QList<Entry> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (raw == "." || raw == "..") {
            continue;
        }
        struct stat st {};  // follows links; a broken link is no folder
        if (::stat((nativeFolder + '/' + raw).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            continue;
        }
        const QString name = QFile::decodeName(raw);
        entries.append(Entry{name.normalized(QString::NormalizationForm_C).toUtf8(), raw, name});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.raw < b.raw;
    });

    QList<QuickHostPackage> packages;
    packages.reserve(entries.size());
    for (const Entry& entry : entries) {
        packages.append(QuickHostPackage{entry.name, folder + QLatin1Char('/') + entry.name});
    }
    return packages;
}

QList<QuickHostPackage> quickHostPackages() {
    return quickHostPackages(Store::pausedPaths());
}
QList<QuickHostPackage> pausedPackages() {
    return pausedPackages(Store::pausedPaths());
}

QList<QuickHostPackage> quickHostPackages(const QSet<QString>& pausedPaths) {
    return packagesWhere(false, pausedPaths);
}

QList<QuickHostPackage> pausedPackages(const QSet<QString>& pausedPaths) {
    return packagesWhere(true, pausedPaths);
}

}  // namespace varnholt::PackageDiscovery
