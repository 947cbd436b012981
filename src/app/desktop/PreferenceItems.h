#pragma once

#include <QString>

#include <functional>

class QMenu;

namespace varnholt {

// Shows a failure the user should know of: a message and a detail.
using PreferenceAlert = std::function<void(const QString& message, const QString& informative)>;

inline constexpr char kNotifyItemTitle[] = "Notify When a Server Opens to the Network";
inline constexpr char kStartAtLoginTitle[] = "Start at Login";
inline constexpr char kEveryListenerTitle[] = "Show Every Listening Program";
inline constexpr char kSharePrivatelyTitle[] = "Share New Hosts Privately";

// Adds the app's checkable preferences to a menu (the tray's, or any other
// menu that offers the tray's commands). Their checks are read afresh each
// time the menu opens, so a login entry removed by hand shows as off.
// listingChanged runs after a change of what the panel lists.
void addPreferenceItems(QMenu* menu, PreferenceAlert alert,
                        std::function<void()> listingChanged = {});

}  // namespace varnholt
