#include <QWidget>

#include "PanelPlatform.h"

namespace varnholt::PanelPlatform {

// The window server always composites and places windows where asked.
bool compositorRunning() {
    return true;
}

bool placesWindows() {
    return true;
}

void prepareWindow(QWidget* window, bool floating) {
    // Spaces, the Dock and the window's shadow follow its collection
    // behaviour, which the Cocoa platform plugin derives from the Tool type.
    Q_UNUSED(window);
    Q_UNUSED(floating);
}

}  // namespace varnholt::PanelPlatform
