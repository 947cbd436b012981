#pragma once

#include <QString>

// Starting the app when the user logs in; one implementation per platform.
namespace varnholt::Autostart {

// Where the login entry lives.
QString entryPath();
// Whether an entry exists that starts this program at login.
bool isEnabled();
// Turns starting at login on or off for the running program; true when the
// login state now is what was asked, else why not in words fit for an alert.
// An entry the user made is never replaced or deleted: it is only turned off
// or on, and one that runs another program is left alone.
bool setEnabled(bool enabled, QString* why = nullptr);

}  // namespace varnholt::Autostart
