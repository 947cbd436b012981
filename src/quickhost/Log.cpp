#include "Log.h"

namespace varnholt {

Q_LOGGING_CATEGORY(lcQuickHost, "varnholt.quickhost", QtInfoMsg)

}  // namespace varnholt
