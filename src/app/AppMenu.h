#pragma once

class QMenu;

namespace varnholt {

class AppDelegate;

// The app's commands as menu items, in one place for the tray menu and for
// the panel's title-area menu (offered while there is no tray), so both
// always hold the same commands. The title-area menu leaves out "Show/Hide
// Panel": the panel it would act on is the one being clicked.
void fillAppMenu(QMenu* menu, AppDelegate* delegate, bool withShowHide);

}  // namespace varnholt
