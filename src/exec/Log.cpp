#include "Log.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>

namespace varnholt {

Q_LOGGING_CATEGORY(lcExec, "varnholt.exec", QtInfoMsg)

namespace {

QMutex& reportMutex() {
    static QMutex mutex;
    return mutex;
}

QSet<QString>& reported() {
    static QSet<QString> keys;
    return keys;
}

}  // namespace

bool firstReport(const QString& key) {
    const QMutexLocker lock(&reportMutex());
    if (reported().contains(key)) {
        return false;
    }
    reported().insert(key);
    return true;
}

void clearReport(const QString& key) {
    const QMutexLocker lock(&reportMutex());
    reported().remove(key);
}

}  // namespace varnholt
