#pragma once

class QWidget;

namespace varnholt {

// A horizontal, top-aligned wrapper with no spacing that puts the view behind
// a 22 px inset.
QWidget* indented(QWidget* view);

}  // namespace varnholt
