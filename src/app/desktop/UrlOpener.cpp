#include "UrlOpener.h"

#include <QDesktopServices>

namespace varnholt::UrlOpener {

namespace {

Hook& hook() {
    static Hook current;
    return current;
}

}  // namespace

void open(const QUrl& url) {
    if (!url.isValid()) {
        return;
    }
    if (hook()) {
        hook()(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

void setHook(Hook replacement) {
    hook() = std::move(replacement);
}

}  // namespace varnholt::UrlOpener
