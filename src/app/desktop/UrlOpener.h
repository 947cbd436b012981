#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The one place the app hands a URL to the desktop (a browser, the file
// manager). Tests replace it, so they can check what would open without ever
// opening a browser or touching the LAN address.
namespace varnholt::UrlOpener {

using Hook = std::function<void(const QUrl& url)>;
using Failure = std::function<void(const QUrl& url, const QString& why)>;

// Returns at once; when the desktop's opener cannot start, or reports that
// nothing could open the URL, the failure handler hears why.
void open(const QUrl& url);
// Replaces how URLs are opened; an empty hook restores the desktop's.
void setHook(Hook hook);
void setFailureHandler(Failure failure);

// The program that hands URLs on (xdg-open where there is one); tests point
// it elsewhere. Empty: Qt's own way.
void setOpenerProgram(const QString& program);

}  // namespace varnholt::UrlOpener
