#include "Log.h"

namespace varnholt {

Q_LOGGING_CATEGORY(lcServe, "varnholt.serve", QtInfoMsg)

}  // namespace varnholt
