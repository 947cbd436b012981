#pragma once

#include <QLoggingCategory>

namespace varnholt {

// This layer's log: "varnholt.scan", info and above unless QT_LOGGING_RULES
// says otherwise.
Q_DECLARE_LOGGING_CATEGORY(lcScan)

}  // namespace varnholt
