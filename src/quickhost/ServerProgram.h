#pragma once

#include <QString>

namespace varnholt::ServerProgram {

inline constexpr char kName[] = "varnholt-serve";

// The file server installed with this program: beside its executable, both
// in the build tree and in /usr/bin.
QString besideThisProgram();

}  // namespace varnholt::ServerProgram
