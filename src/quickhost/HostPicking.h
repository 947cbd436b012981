#pragma once

#include <QString>

#include <optional>

#include "exec/Shell.h"

namespace varnholt::HostPicking {

// What packaging a pick gave: the package folder, or why there is none in
// words fit for the alert's informative text.
struct PickOutcome {
    std::optional<QString> packageDir;
    QString failure;
    // The script found a package it made earlier from the same, unchanged
    // pick and answered with that one instead of copying again.
    bool existing = false;
};

// The package folder named by the companion script's answer: the last output
// line that begins with "{" must be a JSON object with a string "packageDir".
std::optional<QString> packageDirFromOutput(const QString& output);

// The answer is trusted only as far as the file system backs it: an existing
// folder that, links resolved, is a direct child of the packages folder. The
// result names it the way the panel lists it (packagesFolder + "/" + name).
std::optional<QString> packageInFolder(const QString& packageDir, const QString& packagesFolder);

// Reads a finished run of the script: a package only when it exited with 0
// and answered with a folder that packageInFolder accepts; otherwise the
// script's own last error line, or what else went wrong.
PickOutcome outcomeOfRun(const CommandResult& run, const QString& packagesFolder);

// Runs `node hostMjs --in pickedPath` and reads its answer.
PickOutcome packagePick(const QString& node, const QString& hostMjs, const QString& pickedPath,
                        const QString& packagesFolder);

}  // namespace varnholt::HostPicking
