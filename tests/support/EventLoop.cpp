#include "EventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>

#include <thread>

namespace varnholt::test {

namespace {

void serveEventsOnce() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Outside a running loop deleteLater() would otherwise wait forever.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        serveEventsOnce();
    }
    return true;
}

void spinFor(std::chrono::milliseconds duration) {
    const QDeadlineTimer deadline(duration);
    while (!deadline.hasExpired()) {
        serveEventsOnce();
    }
}

}  // namespace varnholt::test
