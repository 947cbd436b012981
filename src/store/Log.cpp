#include "Log.h"

namespace varnholt {

Q_LOGGING_CATEGORY(lcStore, "varnholt.store", QtInfoMsg)

}  // namespace varnholt
