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

void showOnAllWorkspaces(QWidget* window) {
    // Spaces follow the window's collection behaviour, which the Cocoa
    // platform plugin derives from the Tool window type.
    Q_UNUSED(window);
}

}  // namespace varnholt::PanelPlatform
