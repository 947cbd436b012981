#pragma once

#include <QByteArray>
#include <QString>

namespace varnholt {

// One line of what the companion script prints while it packages a pick:
// the package folder it has just made, how far the copy is, or anything else
// (the final answer is read by HostPicking once the script has ended).
struct PickLine {
    enum class Kind { Other, Making, Progress };
    Kind kind = Kind::Other;
    QString packageDir;  // Making: the folder being made
    qint64 files = 0;    // Progress: done and total, as the script counted them
    qint64 filesTotal = 0;
    qint64 bytes = 0;
    qint64 bytesTotal = 0;

    bool operator==(const PickLine&) const = default;
};

// Reads `making "<JSON string>"` and `progress F FT B BT` (decimal, done never
// above total); every other line, and any malformed one, is Kind::Other.
PickLine parsePickLine(const QByteArray& line);

}  // namespace varnholt

namespace varnholt {

// Sizes as people read them, the way the companion script writes them:
// "412 MB", "1.0 GB".
QString sizeText(qint64 bytes);

// The text of a pick's row while it is prepared: "Preparing Holiday videos…
// 38 % · 390 MB of 1.0 GB", or the name alone before the copy has begun.
QString preparingText(const QString& title, const PickLine& progress);

}  // namespace varnholt
