#include "UrlOpener.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

#include "Log.h"

namespace varnholt::UrlOpener {

namespace {

Hook& hook() {
    static Hook current;
    return current;
}

Failure& failure() {
    static Failure current;
    return current;
}

QString& opener() {
    static QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return program;
}

void fail(const QUrl& url, const QString& why) {
    qCWarning(lcDesktop).noquote() << "Could not open" << url.toDisplayString() << "-" << why;
    if (failure()) {
        failure()(url, why);
    }
}

}  // namespace

void open(const QUrl& url) {
    if (!url.isValid()) {
        return;
    }
    if (hook()) {
        hook()(url);
        return;
    }
    if (opener().isEmpty()) {
        if (!QDesktopServices::openUrl(url)) {
            fail(url, QStringLiteral("The desktop has no program set up to open it."));
        }
        return;
    }
    // Run apart and watched, never waited for: the opener may stay until the
    // browser closes, and it says through its exit status that nothing could
    // open the URL (no browser or file manager installed).
    auto* process = new QProcess(QCoreApplication::instance());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, url](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && code != 0) {
                             fail(url, QStringLiteral("No program could open it (%1 ended with "
                                                      "status %2).")
                                           .arg(process->program())
                                           .arg(code));
                         }
                     });
    QObject::connect(
        process, &QProcess::errorOccurred, process, [process, url](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                process->deleteLater();
                fail(url, QStringLiteral("%1 could not be started.").arg(process->program()));
            }
        });
    process->start(opener(), {url.toString(QUrl::FullyEncoded)});
}

void setHook(Hook replacement) {
    hook() = std::move(replacement);
}

void setFailureHandler(Failure handler) {
    failure() = std::move(handler);
}

void setOpenerProgram(const QString& program) {
    opener() = program;
}

}  // namespace varnholt::UrlOpener
