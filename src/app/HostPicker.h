#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

#include "app/panel/ItemChooser.h"

namespace varnholt {

class QuickHostRegistry;

// "Open…" and "Change…": the choosers, and turning a picked file or folder
// into a package that is then served.
class HostPicker : public QObject {
    Q_OBJECT
public:
    using Alert = std::function<void(const QString& message, const QString& informative)>;

    HostPicker(QuickHostRegistry& registry, Alert alert, QObject* parent = nullptr);

    // The choosers belong to this window.
    void setWindow(QWidget* window) { m_window = window; }
    // Looked up for each pick, not once: a user's copy moved away while the
    // app runs leaves the installed one in its place.
    static QString hostMjsPath();

    // The chooser leaves the panel usable; a second press brings the open
    // chooser forward rather than stacking another.
    void openPressed();
    void changeDefaultFolderPressed();
    // Packages the pick with the companion script, unpauses the package and
    // serves it; one alert says why when that fails.
    void hostPicked(const QString& path);

    ItemChooser* chooser() const { return m_chooser; }

signals:
    // The panel should show what changed (a package served).
    void refreshRequested();
    void defaultFolderChanged();

private:
    // Brings an open chooser of this kind forward; false when there is none.
    bool raiseChooser(bool allowFiles);
    ItemChooser* makeChooser(bool allowFiles, const QString& confirm, const QString& title);

    QuickHostRegistry& m_registry;
    Alert m_alert;
    QPointer<QWidget> m_window;
    QPointer<ItemChooser> m_chooser;
};

}  // namespace varnholt
