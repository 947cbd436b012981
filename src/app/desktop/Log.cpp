#include "Log.h"

namespace varnholt {

Q_LOGGING_CATEGORY(lcDesktop, "varnholt.desktop", QtInfoMsg)

}  // namespace varnholt
