#pragma once

#include <functional>

#include "PreferenceItems.h"

class QMenu;

namespace varnholt {

// What the app's menu items do.
struct AppMenuCommands {
    std::function<void()> toggleWindow;
    std::function<void()> quit;
    PreferenceAlert alert;
    std::function<void()> listingChanged;
};

// The app's commands as menu items, in one place for the tray menu and for
// the panel's title-area menu (offered while there is no tray), so both
// always hold the same commands. The title-area menu leaves out "Show/Hide
// Panel": the panel it would act on is the one being clicked.
void fillAppMenu(QMenu* menu, const AppMenuCommands& commands, bool withShowHide);

}  // namespace varnholt
