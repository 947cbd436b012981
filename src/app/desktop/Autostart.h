#pragma once

#include <QString>

// Starting the app when the user logs in; one implementation per platform.
namespace varnholt::Autostart {

// Where the login entry lives.
QString entryPath();
// Whether an entry exists that starts the app at login.
bool isEnabled();
// Writes or removes the entry for the running program; true when the
// login state now is what was asked.
bool setEnabled(bool enabled);

}  // namespace varnholt::Autostart
