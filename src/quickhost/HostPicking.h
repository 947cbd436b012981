#pragma once

#include <QString>

#include <optional>

namespace varnholt::HostPicking {

// The package folder named by the companion script's answer: the last output
// line that begins with "{" must be a JSON object with a string "packageDir".
std::optional<QString> packageDirFromOutput(const QString& output);

// Runs `node hostMjs --in pickedPath` and reads its answer.
std::optional<QString> packagePick(const QString& node, const QString& hostMjs,
                                   const QString& pickedPath);

}  // namespace varnholt::HostPicking
