#pragma once

#include <QLoggingCategory>

namespace varnholt {

// This layer's log: "varnholt.store", info and above unless QT_LOGGING_RULES
// says otherwise.
Q_DECLARE_LOGGING_CATEGORY(lcStore)

}  // namespace varnholt
