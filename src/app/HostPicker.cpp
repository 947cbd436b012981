#include "HostPicker.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "Log.h"
#include "app/panel/ItemChooser.h"
#include "exec/NodeResolver.h"
#include "quickhost/HostPicking.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/PickJob.h"
#include "quickhost/PickLine.h"
#include "quickhost/QuickHostRegistry.h"
#include "store/Store.h"

namespace varnholt {

HostPicker::HostPicker(QuickHostRegistry& registry, Alert alert, QObject* parent)
    : QObject(parent), m_registry(registry), m_alert(std::move(alert)) {
    if (QCoreApplication::instance()) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &HostPicker::cancelAll);
    }
}

HostPicker::~HostPicker() {
    cancelAll();
}

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

namespace {

// A pick that takes less than this shows no row at all, so a quick one does
// not flicker.
constexpr int kRowDelayMs = 500;

}  // namespace

PickJob* HostPicker::jobFor(const QString& pickedPath) const {
    const QString canonical = QFileInfo(pickedPath).canonicalFilePath();
    for (PickJob* job : m_jobs) {
        if (job->pickedPath() == pickedPath ||
            (!canonical.isEmpty() &&
             QFileInfo(job->pickedPath()).canonicalFilePath() == canonical)) {
            return job;
        }
    }
    return nullptr;
}

void HostPicker::host(const QString& path, bool newCopy) {
    if (PickJob* running = jobFor(path)) {
        qCInfo(lcApp).noquote() << "Already preparing" << path;
        if (!running->isCancelled() && !m_shown.contains(running)) {
            m_shown.append(running);
            emit picksChanged();
        }
        return;
    }
    qCInfo(lcApp).noquote() << "Packaging" << path;
    auto* job = new PickJob(
        path, hostMjsPath(), PackageDiscovery::packagesFolder(), [] { return resolveNode(); },
        this);
    job->setNewCopy(newCopy);
    m_jobs.append(job);
    connect(job, &PickJob::progressed, this, [this, job] {
        if (m_shown.contains(job)) {
            emit picksChanged();
        }
    });
    connect(job, &PickJob::finished, this,
            [this, job](const HostPicking::PickOutcome& outcome) { jobFinished(job, outcome); });
    QTimer::singleShot(kRowDelayMs, job, [this, job] {
        if (!m_shown.contains(job) && !job->isFinished()) {
            m_shown.append(job);
            emit picksChanged();
        }
    });
    job->start();
}

void HostPicker::jobFinished(PickJob* job, const HostPicking::PickOutcome& outcome) {
    m_jobs.removeAll(job);
    const bool hadRow = m_shown.removeAll(job) > 0;
    job->deleteLater();
    if (hadRow) {
        emit picksChanged();
    }
    if (outcome.packageDir && outcome.existing) {
        return askAboutReuse(job->pickedPath(), *outcome.packageDir);
    }
    if (outcome.packageDir) {
        return serve(*outcome.packageDir);
    }
    if (job->isCancelled()) {
        qCInfo(lcApp).noquote() << "Cancelled the pick of" << job->pickedPath();
        emit refreshRequested();
        return;
    }
    if (!outcome.failure.isEmpty() && m_alert) {
        m_alert(QStringLiteral("Couldn't host that"), outcome.failure);
    }
}

void HostPicker::serve(const QString& packageDir) {
    Store::removePausedPath(packageDir);
    m_registry.startInBackground(
        packageDir,
        [self = QPointer<HostPicker>(this)](bool started, const QString& failure) {
            if (!self) {
                return;
            }
            emit self->refreshRequested();
            if (!started && !failure.isEmpty() && self->m_alert) {
                self->m_alert(QStringLiteral("Couldn't host that"), failure);
            }
        },
        {Store::shareNewHostsPrivately(), false});
    emit refreshRequested();
}

void HostPicker::askAboutReuse(const QString& pickedPath, const QString& packageDir) {
    const QString name = QFileInfo(packageDir).fileName();
    const QString message = QStringLiteral("Host \u201C%1\u201D again?").arg(name);
    const QString informative =
        QStringLiteral(
            "%1 has not changed since the package \u201C%2\u201D was made from it. "
            "Host that package again, or make a new copy?")
            .arg(pickedPath, name);
    auto answer = [self = QPointer<HostPicker>(this), pickedPath, packageDir](Reuse reuse) {
        if (!self) {
            return;
        }
        if (reuse == Reuse::HostAgain) {
            self->serve(packageDir);
        } else if (reuse == Reuse::NewCopy) {
            self->host(pickedPath, true);
        }
    };
    if (m_ask) {
        return m_ask(message, informative, answer);
    }
    auto* box =
        new QMessageBox(QMessageBox::Question, message, message, QMessageBox::NoButton, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(informative);
    QPushButton* again = box->addButton(QStringLiteral("Host It Again"), QMessageBox::AcceptRole);
    QPushButton* copy = box->addButton(QStringLiteral("Make a New Copy"), QMessageBox::ActionRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(again);
    connect(box, &QMessageBox::finished, this, [box, again, copy, answer] {
        const QAbstractButton* clicked = box->clickedButton();
        answer(clicked == again  ? Reuse::HostAgain
               : clicked == copy ? Reuse::NewCopy
                                 : Reuse::Neither);
    });
    box->open();
}

void HostPicker::cancel(const QString& pickedPath) {
    if (PickJob* job = jobFor(pickedPath)) {
        job->cancel();
        emit picksChanged();
    }
}

void HostPicker::cancelAll() {
    const QList<PickJob*> jobs = m_jobs;
    m_jobs.clear();
    m_shown.clear();
    for (PickJob* job : jobs) {
        disconnect(job, nullptr, this, nullptr);
        job->cancelNow();
        job->deleteLater();
    }
}

QList<PickProgress> HostPicker::progressRows() const {
    QList<PickProgress> rows;
    for (PickJob* job : m_shown) {
        const QString title = QFileInfo(job->pickedPath()).fileName();
        QString text = preparingText(title, job->progress());
        if (job->isCancelled()) {
            text = QStringLiteral("Cancelling %1\u2026").arg(title);
        }
        rows.append({job->pickedPath(), text});
    }
    return rows;
}

}  // namespace varnholt
