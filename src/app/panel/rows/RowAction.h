#pragma once

#include <QString>

#include <functional>

namespace varnholt {

// One command of a row's context menu.
struct RowAction {
    QString title;
    bool enabled = true;
    std::function<void()> run;
    bool separatorBefore = false;
    // A choice that is on or off, shown with a check mark.
    bool checkable = false;
    bool checked = false;
};

}  // namespace varnholt
