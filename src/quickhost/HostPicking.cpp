#include "HostPicking.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include "exec/Shell.h"

namespace varnholt::HostPicking {

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

std::optional<QString> packagePick(const QString& node, const QString& hostMjs,
                                   const QString& pickedPath) {
    // Copies the user's files, so it runs as long as the copy takes.
    return packageDirFromOutput(shell(node, {hostMjs, "--in", pickedPath}));
}

}  // namespace varnholt::HostPicking
