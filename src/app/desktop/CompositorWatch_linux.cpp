#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <xcb/xfixes.h>

#include <cstdlib>

#include "CompositorWatch.h"
#include "Log.h"
#include "PanelPlatform.h"
#include "X11_linux.h"

namespace varnholt {

// Sees the X server's note that the selection changed hands; the panel is
// told from the event loop, never from inside Qt's event handling.
class CompositorWatch::Filter : public QAbstractNativeEventFilter {
public:
    Filter(CompositorWatch* owner, uint8_t firstEvent, xcb_atom_t selection, bool running)
        : m_owner(owner), m_firstEvent(firstEvent), m_selection(selection), m_running(running) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != m_firstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
            return false;
        }
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        // A compositor that quits ends its window and its connection: one
        // change, however many notes say so.
        const bool running = notify->owner != XCB_WINDOW_NONE;
        if (notify->selection == m_selection && running != m_running) {
            m_running = running;
            qCInfo(lcDesktop) << (running ? "A compositor started" : "The compositor stopped");
            QMetaObject::invokeMethod(m_owner, &CompositorWatch::changed, Qt::QueuedConnection);
        }
        return false;  // Qt sees every event as before
    }

private:
    CompositorWatch* m_owner;
    uint8_t m_firstEvent;
    xcb_atom_t m_selection;
    bool m_running;
};

CompositorWatch::CompositorWatch(QObject* parent) : QObject(parent) {
    xcb_connection_t* connection = X11::connection();
    if (!connection) {
        return;
    }
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, &xcb_xfixes_id);
    const xcb_window_t root = X11::rootWindow(connection);
    const xcb_atom_t selection =
        X11::atom(connection, "_NET_WM_CM_S" + QByteArray::number(X11::displayScreen()));
    if (!extension || !extension->present || root == XCB_WINDOW_NONE ||
        selection == XCB_ATOM_NONE) {
        qCWarning(lcDesktop) << "The X server cannot tell when a compositor starts or stops; "
                                "the panel follows it each time it shows";
        return;
    }
    // The server answers XFixes requests only after a client gave its version.
    std::free(xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, 0), nullptr));
    xcb_xfixes_select_selection_input(connection, root, selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(connection);
    m_filter = std::make_unique<Filter>(this, extension->first_event, selection,
                                        PanelPlatform::compositorRunning());
    QCoreApplication::instance()->installNativeEventFilter(m_filter.get());
}

CompositorWatch::~CompositorWatch() {
    if (m_filter && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(m_filter.get());
    }
}

}  // namespace varnholt
