#include "Log.h"

namespace varnholt {

Q_LOGGING_CATEGORY(lcScan, "varnholt.scan", QtInfoMsg)

}  // namespace varnholt
