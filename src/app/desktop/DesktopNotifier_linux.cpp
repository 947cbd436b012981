#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "DesktopNotifier.h"
#include "Log.h"
#include "exec/Log.h"

namespace varnholt {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kTitle = QStringLiteral("Varnholt Control");

}  // namespace

DesktopNotifier::DesktopNotifier(Fallback fallback, QString busName, QObject* parent)
    : QObject(parent), m_fallback(std::move(fallback)), m_busName(std::move(busName)) {}

void DesktopNotifier::notify(const QString& text) {
    QDBusConnection bus =
        m_busName.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(m_busName);
    if (!bus.isConnected()) {
        if (firstReport(QStringLiteral("notify:nobus"))) {
            qCInfo(lcDesktop) << "No session bus: notices go to the tray instead";
        }
        fallBack(text);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // The sentence is the summary: servers that show only one line show all
    // that matters.
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("varnholt-control")},
        {QStringLiteral("category"), QStringLiteral("network")},
    };
    call << kTitle << 0u << QStringLiteral("varnholt-control") << text << QString() << QStringList()
         << hints << -1;
    // Asynchronous: a slow or absent service must never hold up the panel.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, text](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    qCWarning(lcDesktop).noquote()
                        << "The notification service refused a notice (" +
                               finished->error().message() + "); it goes to the tray instead";
                    fallBack(text);
                } else {
                    emit delivered();
                }
            });
}

void DesktopNotifier::fallBack(const QString& text) {
    if (m_fallback) {
        m_fallback(kTitle, text);
    }
    emit fellBack();
}

}  // namespace varnholt
