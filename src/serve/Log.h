#pragma once

#include <QLoggingCategory>

namespace varnholt {

// The file server's log: "varnholt.serve", info and above unless
// QT_LOGGING_RULES says otherwise. Goes to standard error, which the app
// discards for the servers it starts.
Q_DECLARE_LOGGING_CATEGORY(lcServe)

}  // namespace varnholt
