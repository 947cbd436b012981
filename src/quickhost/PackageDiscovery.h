#pragma once

#include <QList>
#include <QSet>
#include <QString>

#include "QuickHostPackage.h"

// The package folders that quick hosting serves, listed from the desktop.
namespace varnholt::PackageDiscovery {

// The desktop folder + "/Varnholt".
QString packagesFolder();
// Every folder in it (links to folders included), in code-point order.
QList<QuickHostPackage> allPackages();
// Split by the stored paused set.
QList<QuickHostPackage> quickHostPackages();
QList<QuickHostPackage> pausedPackages();
// The same split against a given paused set (exact path equality).
QList<QuickHostPackage> quickHostPackages(const QSet<QString>& pausedPaths);
QList<QuickHostPackage> pausedPackages(const QSet<QString>& pausedPaths);

}  // namespace varnholt::PackageDiscovery
