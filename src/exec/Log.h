#pragma once

#include <QLoggingCategory>
#include <QString>

// The log of each layer is a category of its own ("varnholt.exec",
// "varnholt.scan"…), info and above by default; QT_LOGGING_RULES tunes it.
namespace varnholt {

Q_DECLARE_LOGGING_CATEGORY(lcExec)

// For failures that repeat on every refresh (a tool that is missing, a
// probe that keeps timing out): true the first time a key is reported, false
// until cleared, so the log says it once and stays quiet after. Thread-safe.
bool firstReport(const QString& key);
// The failure went away; the next one is worth saying again.
void clearReport(const QString& key);

}  // namespace varnholt
