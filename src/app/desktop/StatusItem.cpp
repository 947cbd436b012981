#include "StatusItem.h"

#include <QMenu>
#include <QSystemTrayIcon>

#include "Log.h"
#include "app/controls/AppIcon.h"

namespace varnholt {

StatusItem::StatusItem(Probe trayProbe, std::function<void(QMenu*)> fillMenu, QObject* parent)
    : QObject(parent), m_trayProbe(std::move(trayProbe)), m_fillMenu(std::move(fillMenu)) {}

StatusItem::~StatusItem() = default;

bool StatusItem::check() {
    const bool tray = m_trayProbe && m_trayProbe();
    if (tray && !m_icon) {
        build();
    } else if (tray && !m_hasTray && m_icon) {
        // A tray that came back after going away: dock the icon in it again.
        m_icon->hide();
        m_icon->show();
    }
    const bool hasTray = tray && m_icon;
    if (hasTray != m_hasTray || !m_checked) {
        if (hasTray) {
            qCInfo(lcDesktop) << "A system tray is there: the panel floats beside its icon";
        } else {
            qCInfo(lcDesktop) << (m_checked ? "The system tray went away" : "No system tray")
                              << "- the panel is an ordinary window until one appears";
        }
    }
    m_hasTray = hasTray;
    m_checked = true;
    return m_hasTray;
}

void StatusItem::build() {
    m_icon = new QSystemTrayIcon(makeAppIcon(), this);
    m_icon->setToolTip(QStringLiteral("Varnholt"));
    m_menu = std::make_unique<QMenu>();
    if (m_fillMenu) {
        m_fillMenu(m_menu.get());
    }
    emit iconCreated(m_icon);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    emit activated();
                }
            });
    m_icon->show();
}

}  // namespace varnholt
