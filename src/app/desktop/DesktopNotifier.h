#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace varnholt {

// Shows a desktop notification through the platform's notification service
// (org.freedesktop.Notifications on the session bus on Linux). Where that
// service is missing or refuses, the fallback shows the text instead (the
// tray's own message balloon).
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    using Fallback = std::function<void(const QString& title, const QString& text)>;

    // busName names a connection made with QDBusConnection::connectToBus();
    // empty for the session bus. Platforms without D-Bus ignore it.
    explicit DesktopNotifier(Fallback fallback, QString busName = {}, QObject* parent = nullptr);

    // Returns at once; the service answers later.
    void notify(const QString& text);

signals:
    // For tests: the service took the notification, or the fallback ran.
    void delivered();
    void fellBack();

private:
    void fallBack(const QString& text);

    Fallback m_fallback;
    QString m_busName;
};

}  // namespace varnholt
