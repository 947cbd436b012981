#pragma once

#include <QtGlobal>

namespace varnholt {

// A package server the registry started.
struct QuickHostEntry {
    qint32 pid = 0;
    qint64 port = 0;
    // When the process started (0 unknown): a pid the system handed to a
    // later process is not taken for the server.
    qint64 startTime = 0;
};

}  // namespace varnholt
