#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace varnholt {

// The app's icon in the desktop's tray, while there is a tray. Desktops start
// and stop their trays (a panel that restarts, an autostart that runs before
// it), so the app looks again on every tick.
class StatusItem : public QObject {
    Q_OBJECT
public:
    using Probe = std::function<bool()>;

    // fillMenu fills the icon's menu once, when the icon is made.
    StatusItem(Probe trayProbe, std::function<void(QMenu*)> fillMenu, QObject* parent = nullptr);
    ~StatusItem() override;

    // Asks whether a tray is there; makes the icon as soon as one appears and
    // docks it again in a tray that came back. True while the icon is in one.
    bool check();
    bool hasTray() const { return m_hasTray; }
    // Null until a tray was first seen.
    QSystemTrayIcon* icon() const { return m_icon; }

signals:
    // A click on the icon.
    void activated();
    // The icon was made; the tray badge draws on it from now on.
    void iconCreated(QSystemTrayIcon* icon);

private:
    void build();

    Probe m_trayProbe;
    std::function<void(QMenu*)> m_fillMenu;
    QSystemTrayIcon* m_icon = nullptr;
    std::unique_ptr<QMenu> m_menu;
    bool m_hasTray = false;
    bool m_checked = false;
};

}  // namespace varnholt
