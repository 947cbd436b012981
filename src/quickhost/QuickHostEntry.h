#pragma once

#include <QtGlobal>

namespace varnholt {

// A package server the registry started.
struct QuickHostEntry {
    qint32 pid = 0;
    qint64 port = 0;
};

}  // namespace varnholt
