#pragma once

#include <QByteArray>
#include <QList>

#include "PackageTree.h"

namespace varnholt::serve {

// The page a folder without index.html shows, made for a phone: a viewport,
// rows large enough to tap, an icon by kind, human sizes and dates, folders
// first in the panel's order, breadcrumbs back up and a link that downloads
// the whole folder as a zip. Names are anyone's bytes: every one is escaped
// for the page and percent-encoded for its link. base is the path the
// package's root is served under ("" or a private link's "/s/TOKEN").
// uploadForm adds a form that sends files to the folder's own URL: plain
// HTML, so it works in every phone's browser; a script, where there is one,
// only shows the progress.
QByteArray listingPage(const QByteArray& packageName, const QList<QByteArray>& names,
                       QList<PackageTree::Entry> entries, const QByteArray& base = {},
                       bool uploadForm = false);

// "0 B", "999 B", "1.5 kB", "12 MB", ... (powers of 1000).
QByteArray humanSize(qint64 bytes);

// Folders first, then by the code points of the names' canonical form, the
// raw bytes breaking ties.
void sortEntries(QList<PackageTree::Entry>& entries);

}  // namespace varnholt::serve
