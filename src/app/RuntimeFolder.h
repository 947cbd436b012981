#pragma once

#include <QString>

// A folder for the app's sockets and locks that only this user can write.
namespace varnholt::RuntimeFolder {

// $XDG_RUNTIME_DIR when it is such a folder; else a folder of the user's own
// in the temporary folder, mode 0700, with the uid in its name (made when
// missing, never one that someone else made); else the empty text.
QString privateFolder();

// Whether path is a real folder (no link) of ours that nobody else may
// write into.
bool isPrivate(const QString& path);

// Sessions without XDG_RUNTIME_DIR (su, ssh, cron) get privateFolder() as
// theirs, so Qt and the app agree on it and Qt has nothing to warn about.
// Call before the application object exists.
void provide();

}  // namespace varnholt::RuntimeFolder
