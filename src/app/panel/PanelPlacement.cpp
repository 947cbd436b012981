#include "PanelPlacement.h"

#include <algorithm>

namespace varnholt::PanelPlacement {

namespace {
// Enough of the title row to see the panel and grab it.
constexpr int kMinVisibleWidth = 48;
constexpr int kMinVisibleHeight = 24;
}  // namespace

QRect topRightOf(const QRect& available, const QSize& size) {
    return {available.x() + available.width() - size.width() - kScreenInset,
            available.y() + kScreenInset, size.width(), size.height()};
}

bool reachable(const QRect& frame, const QList<QRect>& screens) {
    for (const QRect& screen : screens) {
        const QRect shown = frame.intersected(screen);
        if (shown.width() >= std::min(kMinVisibleWidth, frame.width()) &&
            shown.height() >= std::min(kMinVisibleHeight, frame.height())) {
            return true;
        }
    }
    return false;
}

QRect keptOnScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primary) {
    return reachable(frame, screens) ? frame : topRightOf(primary, frame.size());
}

QRect fittedInto(const QRect& frame, const QRect& available) {
    if (available.isEmpty()) {
        return frame;
    }
    QRect fitted = frame;
    fitted.setWidth(std::min(frame.width(), available.width() - 2 * kScreenInset));
    fitted.setHeight(std::min(frame.height(), available.height() - 2 * kScreenInset));
    // Moved only as far as it must; a frame already inside stays put.
    fitted.moveRight(std::min(fitted.right(), available.right()));
    fitted.moveBottom(std::min(fitted.bottom(), available.bottom()));
    fitted.moveLeft(std::max(fitted.left(), available.left()));
    fitted.moveTop(std::max(fitted.top(), available.top()));
    return fitted;
}

}  // namespace varnholt::PanelPlacement
