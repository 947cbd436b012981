#include "HostPicker.h"

#include <QApplication>
#include <QScopeGuard>

#include "Log.h"
#include "app/panel/ItemChooser.h"
#include "exec/NodeResolver.h"
#include "quickhost/HostPicking.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"
#include "store/Store.h"

namespace varnholt {

HostPicker::HostPicker(QuickHostRegistry& registry, Alert alert, QObject* parent)
    : QObject(parent), m_registry(registry), m_alert(std::move(alert)) {}

QString HostPicker::hostMjsPath() {
    return varnholt::hostMjsPath();
}

bool HostPicker::raiseChooser(bool allowFiles) {
    if (!m_chooser || !m_chooser->isVisible()) {
        return false;
    }
    if (m_chooser->allowsFiles() != allowFiles) {
        m_chooser->close();  // the other chooser gives way to this one
        return false;
    }
    m_chooser->raise();
    m_chooser->activateWindow();
    return true;
}

ItemChooser* HostPicker::makeChooser(bool allowFiles, const QString& confirm,
                                     const QString& title) {
    auto* chooser = new ItemChooser(allowFiles, confirm, m_window);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowTitle(title);
    if (const auto folder = Store::defaultOpenFolder()) {
        chooser->setDirectory(*folder);
    }
    m_chooser = chooser;
    return chooser;
}

void HostPicker::openPressed() {
    if (raiseChooser(true)) {
        return;
    }
    ItemChooser* chooser =
        makeChooser(true, QStringLiteral("Host"), QStringLiteral("Host a File or Folder"));
    connect(chooser, &ItemChooser::itemChosen, this, &HostPicker::hostPicked, Qt::QueuedConnection);
    chooser->show();
}

void HostPicker::changeDefaultFolderPressed() {
    if (raiseChooser(false)) {
        return;
    }
    ItemChooser* chooser =
        makeChooser(false, QStringLiteral("Set Default"),
                    QStringLiteral("Choose the folder \u201COpen\u2026\u201D should start from"));
    connect(chooser, &ItemChooser::itemChosen, this, [this](const QString& folder) {
        Store::setDefaultOpenFolder(folder);
        emit defaultFolderChanged();
    });
    chooser->show();
}

void HostPicker::hostPicked(const QString& path) {
    qCInfo(lcApp).noquote() << "Packaging" << path;
    QString failure;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const HostPicking::PickOutcome picked = HostPicking::packagePick(
            resolveNode(), hostMjsPath(), path, PackageDiscovery::packagesFolder());
        if (picked.packageDir) {
            Store::removePausedPath(*picked.packageDir);
            if (!m_registry.start(*picked.packageDir)) {
                failure = m_registry.lastFailure();
            }
            emit refreshRequested();
        } else {
            failure = picked.failure;
        }
    }
    if (!failure.isEmpty() && m_alert) {
        m_alert(QStringLiteral("Couldn't host that"), failure);
    }
}

}  // namespace varnholt
