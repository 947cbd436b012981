#include "HostPicking.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include "NameCheck.h"

namespace varnholt::HostPicking {

namespace {

QString lastLine(const QByteArray& text) {
    const QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (!line.isEmpty()) {
            return line;
        }
    }
    return {};
}

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return QDir::isAbsolutePath(path) && info.isFile() && info.isExecutable();
}

}  // namespace

std::optional<QString> packageDirFromOutput(const QString& output) {
    const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (!it->startsWith('{')) {
            continue;
        }
        // Only the last candidate counts. A trailing "\r" needs no care:
        // it is white space to JSON.
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(it->toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            return std::nullopt;
        }
        const QJsonValue dir = doc.object().value("packageDir");
        if (!dir.isString()) {
            return std::nullopt;
        }
        return dir.toString();
    }
    return std::nullopt;
}

std::optional<QString> packageInFolder(const QString& packageDir, const QString& packagesFolder) {
    if (!QDir::isAbsolutePath(packageDir)) {
        return std::nullopt;
    }
    const QFileInfo real(QFileInfo(packageDir).canonicalFilePath());
    const QString realFolder = QFileInfo(packagesFolder).canonicalFilePath();
    if (real.filePath().isEmpty() || realFolder.isEmpty() || !real.isDir() ||
        real.absolutePath() != realFolder) {
        return std::nullopt;
    }
    return packagesFolder + QLatin1Char('/') + real.fileName();
}

PickOutcome outcomeOfRun(const CommandResult& run, const QString& packagesFolder) {
    if (!run.ran) {
        return {std::nullopt, QStringLiteral("Node could not run the companion script.")};
    }
    if (run.exitStatus != 0) {
        // The script's refusals end with one line that says what was wrong.
        const QString line = lastLine(run.errorTail);
        return {std::nullopt,
                line.isEmpty()
                    ? QStringLiteral("host.mjs failed (exit status %1).").arg(run.exitStatus)
                    : line};
    }
    const std::optional<QString> answer = packageDirFromOutput(QString::fromUtf8(run.output));
    if (!answer) {
        return {std::nullopt, QStringLiteral("host.mjs didn't return a package.")};
    }
    const std::optional<QString> dir = packageInFolder(*answer, packagesFolder);
    if (!dir) {
        return {std::nullopt, QStringLiteral("host.mjs named a folder that is not a package in %1.")
                                  .arg(packagesFolder)};
    }
    PickOutcome outcome{dir, {}};
    // The answer line is known to be a JSON object by now.
    const QStringList lines = QString::fromUtf8(run.output).split('\n', Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->startsWith('{')) {
            outcome.existing =
                QJsonDocument::fromJson(it->toUtf8()).object().value("existing").toBool(false);
            break;
        }
    }
    return outcome;
}

PickOutcome packagePick(const QString& node, const QString& hostMjs, const QString& pickedPath,
                        const QString& packagesFolder) {
    if (NameCheck::isUndecodable(pickedPath)) {
        return {std::nullopt, NameCheck::undecodableMessage(pickedPath)};
    }
    if (!QFileInfo::exists(pickedPath)) {
        return {std::nullopt, QStringLiteral("%1 no longer exists.").arg(pickedPath)};
    }
    if (!isExecutableFile(node)) {
        return {std::nullopt,
                QStringLiteral("Node was not found. Install Node 18 or later and try again.")};
    }
    if (!QFileInfo(hostMjs).isFile()) {
        return {std::nullopt,
                QStringLiteral("The companion script is missing at %1.").arg(hostMjs)};
    }
    // Copies the user's files, so it runs as long as the copy takes.
    return outcomeOfRun(runCommand(node, {hostMjs, "--in", pickedPath}), packagesFolder);
}

}  // namespace varnholt::HostPicking
