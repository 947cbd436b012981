#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

#include "app/panel/ItemChooser.h"
#include "app/panel/rows/PickRow.h"
#include "quickhost/HostPicking.h"

namespace varnholt {

class PickJob;
class QuickHostRegistry;

// "Open…" and "Change…": the choosers, and turning a picked file or folder
// into a package that is then served.
class HostPicker : public QObject {
    Q_OBJECT
public:
    using Alert = std::function<void(const QString& message, const QString& informative)>;
    // The answer to "host the package made earlier, or copy again?".
    enum class Reuse { HostAgain, NewCopy, Neither };
    // Asks without blocking and calls back with the answer.
    using Ask = std::function<void(const QString& message, const QString& informative,
                                   std::function<void(Reuse)> answer)>;

    HostPicker(QuickHostRegistry& registry, Alert alert, QObject* parent = nullptr);
    // Quitting cancels every pick under way: nothing half-made stays behind.
    ~HostPicker() override;

    // The choosers belong to this window.
    void setWindow(QWidget* window) { m_window = window; }
    // Replaces the question box (tests answer it themselves).
    void setAsk(Ask ask) { m_ask = std::move(ask); }
    // Looked up for each pick, not once: a user's copy moved away while the
    // app runs leaves the installed one in its place.
    static QString hostMjsPath();

    // The chooser leaves the panel usable; a second press brings the open
    // chooser forward rather than stacking another.
    void openPressed();
    void changeDefaultFolderPressed();
    // Packages the pick with the companion script in the background, then
    // unpauses the package and serves it; one alert says why when that fails.
    // Several picks may run at once; the same pick again while it is being
    // prepared shows the one under way rather than copying it twice.
    void hostPicked(const QString& path) { host(path, false); }
    // Stops a pick under way and removes what it made.
    void cancel(const QString& pickedPath);
    void cancelAll();

    // The picks under way, in the order they were made.
    QList<PickJob*> jobs() const { return m_jobs; }
    // The rows for the picks that have run long enough to be worth a row.
    QList<PickProgress> progressRows() const;

    ItemChooser* chooser() const { return m_chooser; }

signals:
    // The panel should show what changed (a package served).
    void refreshRequested();
    void defaultFolderChanged();
    // progressRows() changed.
    void picksChanged();

private:
    // Brings an open chooser of this kind forward; false when there is none.
    bool raiseChooser(bool allowFiles);
    ItemChooser* makeChooser(bool allowFiles, const QString& confirm, const QString& title);
    PickJob* jobFor(const QString& pickedPath) const;
    void host(const QString& path, bool newCopy);
    void serve(const QString& packageDir);
    void askAboutReuse(const QString& pickedPath, const QString& packageDir);
    void jobFinished(PickJob* job, const HostPicking::PickOutcome& outcome);

    QuickHostRegistry& m_registry;
    Alert m_alert;
    Ask m_ask;
    QPointer<QWidget> m_window;
    QPointer<ItemChooser> m_chooser;
    QList<PickJob*> m_jobs;
    QList<PickJob*> m_shown;  // jobs old enough for a row
};

}  // namespace varnholt
