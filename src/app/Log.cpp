#include "Log.h"

#include <QtGlobal>

namespace varnholt {

Q_LOGGING_CATEGORY(lcApp, "varnholt.app", QtInfoMsg)

void installLogFormat() {
    if (qEnvironmentVariableIsEmpty("QT_MESSAGE_PATTERN")) {
        qSetMessagePattern(QStringLiteral("%{if-category}%{category} %{endif}%{type}: %{message}"));
    }
}

}  // namespace varnholt
