#include "CompositorWatch.h"

namespace varnholt {

// The window server always composites: there is nothing to follow.
class CompositorWatch::Filter {};

CompositorWatch::CompositorWatch(QObject* parent) : QObject(parent) {}

CompositorWatch::~CompositorWatch() = default;

}  // namespace varnholt
