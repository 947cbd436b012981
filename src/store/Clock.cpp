#include "Clock.h"

#include <QDateTime>

namespace varnholt::Clock {

namespace {
std::function<double()>& source() {
    static std::function<double()> s;
    return s;
}
}  // namespace

double now() {
    if (source()) {
        return source()();
    }
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

void setSource(std::function<double()> s) {
    source() = std::move(s);
}

void resetSource() {
    source() = nullptr;
}

}  // namespace varnholt::Clock
