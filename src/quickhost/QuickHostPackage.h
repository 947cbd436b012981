#pragma once

#include <QString>

namespace varnholt {

// One package folder in the packages folder.
struct QuickHostPackage {
    QString title;  // the folder's own name
    QString path;   // packages folder + "/" + title
};

}  // namespace varnholt
