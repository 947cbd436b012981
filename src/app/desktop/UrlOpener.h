#pragma once

#include <QUrl>

#include <functional>

// The one place the app hands a URL to the desktop (a browser, the file
// manager). Tests replace it, so they can check what would open without ever
// opening a browser or touching the LAN address.
namespace varnholt::UrlOpener {

using Hook = std::function<void(const QUrl& url)>;

void open(const QUrl& url);
// Replaces how URLs are opened; an empty hook restores the desktop's.
void setHook(Hook hook);

}  // namespace varnholt::UrlOpener
