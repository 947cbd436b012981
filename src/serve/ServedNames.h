#pragma once

#include <QByteArrayView>

namespace varnholt::serve {

// Whether an entry of this name may be served or listed at all: hidden names
// (a leading dot) never are, except ".well-known"; neither are the
// companion's own files at any depth.
bool isServableName(QByteArrayView name);

}  // namespace varnholt::serve
