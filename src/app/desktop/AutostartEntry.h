#pragma once

#include <QString>

// The text of the XDG autostart entry that starts the app at login, and how
// to read one back: whether it is on, what it runs, and whether the app
// wrote it (a user's own entry is theirs: never overwritten or deleted).
namespace varnholt::AutostartEntry {

inline constexpr char kFileName[] = "varnholt-control.desktop";
// The key that marks an entry the app wrote.
inline constexpr char kWrittenKey[] = "X-Varnholt-Control-Written";

// Why executable cannot go into an Exec line that the desktop's launcher
// runs as written (a line break or other control character, a "%" that
// launchers read as a field code); the empty text when it can.
QString unrunnableBecause(const QString& executable);
// The entry that runs executable; the empty text when unrunnableBecause()
// names a reason.
QString text(const QString& executable);
// The Exec value for one program path, quoted and escaped as the desktop
// entry format asks.
QString execValue(const QString& executable);

// Whether an existing entry starts anything: desktops turn an entry off with
// Hidden=true or X-GNOME-Autostart-enabled=false instead of deleting it.
bool enabled(const QString& contents);
// The program the entry's Exec line starts, unquoted; empty when there is
// none.
QString program(const QString& contents);
bool writtenByApp(const QString& contents);
// The same entry turned off or on the way desktops do it (Hidden, and
// X-GNOME-Autostart-enabled where present), every other line kept.
QString withEnabled(const QString& contents, bool enabled);

}  // namespace varnholt::AutostartEntry
