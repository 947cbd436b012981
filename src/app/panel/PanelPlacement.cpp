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

}  // namespace varnholt::PanelPlacement
