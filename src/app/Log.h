#pragma once

#include <QLoggingCategory>

namespace varnholt {

// The app's lifecycle and what it tells the user: start, alerts, picks.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

// Every line says its category and level; QT_MESSAGE_PATTERN still wins.
void installLogFormat();

}  // namespace varnholt
