#pragma once

#include <functional>

class QWidget;

namespace varnholt {

// The platform's way to quit from the keyboard: the application menu's
// "Quit Varnholt Control" with Command-Q on macOS, Ctrl+Q in the panel on
// Linux.
void installPlatformMenu(QWidget* panel, std::function<void()> quit);

}  // namespace varnholt
