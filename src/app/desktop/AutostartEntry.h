#pragma once

#include <QString>

// The text of the XDG autostart entry that starts the app at login, and how
// to read one back.
namespace varnholt::AutostartEntry {

inline constexpr char kFileName[] = "varnholt-control.desktop";

// The entry that runs executable; the empty text when the path cannot be
// written into an Exec line (a line break in it).
QString text(const QString& executable);

// The Exec value for one program path, quoted and escaped as the desktop
// entry format asks.
QString execValue(const QString& executable);

// Whether an existing entry starts anything: desktops turn an entry off with
// Hidden=true or X-GNOME-Autostart-enabled=false instead of deleting it.
bool enabled(const QString& contents);

}  // namespace varnholt::AutostartEntry
