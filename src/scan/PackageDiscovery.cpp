// The package folders on the desktop, split by the paused set.
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#include "HostScanner.h"
#include "store/Store.h"

namespace varnholt::HostScanner {

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
    const QDir dir(folder);
    if (!dir.exists()) {
        return {};
    }
    // System keeps broken links in the listing; they are dropped below with
    // every other entry that is not a folder.
    const QStringList names = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);

    // Code-point order of the canonical form: UTF-8 bytes sort exactly so,
    // where QString's own comparison goes by UTF-16 units. The raw name breaks
    // ties so that the order never depends on the directory's own order.
    struct Entry {
        QByteArray sortKey;
        QByteArray raw;
        QString name;
    };
    QList<Entry> entries;
    entries.reserve(names.size());
    for (const QString& name : names) {
        entries.append(
            Entry{name.normalized(QString::NormalizationForm_C).toUtf8(), name.toUtf8(), name});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.raw < b.raw;
    });

    QList<QuickHostPackage> packages;
    for (const Entry& entry : entries) {
        const QString path = folder + QLatin1Char('/') + entry.name;
        if (QFileInfo(path).isDir()) {  // follows links; a broken link is no folder
            packages.append(QuickHostPackage{entry.name, path});
        }
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

}  // namespace varnholt::HostScanner
