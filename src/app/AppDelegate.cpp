#include "AppDelegate.h"

namespace varnholt {

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {}

void AppDelegate::launch() {}

}  // namespace varnholt
