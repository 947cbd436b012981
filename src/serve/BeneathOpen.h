#pragma once

#include <QByteArray>

#include <fcntl.h>

// Opening a path inside a folder so that the open itself can never leave it,
// whatever links or renames happen meanwhile: checked by the kernel as the
// file is opened, never by a look before the open. One file per platform.
namespace varnholt::serve {

// The open flag for a handle that can be looked at but not read, where the
// platform has one.
#ifdef O_PATH
inline constexpr int kHandleOnly = O_PATH;
#else
inline constexpr int kHandleOnly = O_RDONLY | O_NONBLOCK;
#endif

// A handle on what relative ('/'-separated names, empty for the folder
// itself) leads to beneath dirFd, following links only while they stay
// beneath it. The handle can be inspected (fstat) but is not opened for
// reading, so a FIFO or a device is never opened by it. -1 on failure.
// linked says whether a link was followed on the way: only then can the
// handle's real place differ from the names asked for.
int openBeneath(int dirFd, const QByteArray& relative, bool* linked = nullptr);

// The same walk, one name at a time, refusing every link: for kernels that
// lack (or a sandbox that forbids) the resolving open.
int openByWalk(int dirFd, const QByteArray& relative);

// Opens a handle from openBeneath for reading, as a folder or a regular
// file; -1 otherwise. The handle stays the caller's.
int reopenForReading(int handle, bool folder);

// Where the handle really is, links resolved; empty when unknown.
QByteArray realPath(int handle);

}  // namespace varnholt::serve
