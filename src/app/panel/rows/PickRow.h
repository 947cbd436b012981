#pragma once

#include <QString>

class QWidget;

namespace varnholt {

class PanelActions;

// A pick being prepared, shown in CURRENTLY HOSTED with a Cancel button.
struct PickProgress {
    QString pickedPath;  // what Cancel names
    QString text;        // "Preparing Holiday videos… 38 % · 390 MB of 1.0 GB"
};

// A pick being prepared: its progress and a Cancel button.
QWidget* makePickRow(const PickProgress& pick, PanelActions* actions);
QString pickRowKey(const PickProgress& pick);

}  // namespace varnholt
