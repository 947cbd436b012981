#pragma once

#include <QString>

namespace varnholt::bench {

struct ServeOptions {
    QString server;          // the varnholt-serve to measure
    int bigMiB = 1024;       // the one big file
    int smallFiles = 20000;  // files of the package timed to listening
};

// --serve: varnholt-serve against `python3 -m http.server` and nginx
// (sendfile on, its own configuration) on the same files over loopback,
// one line per figure: "serve: <measure> varnholt <x> python <y> nginx <z>".
int runServe(const ServeOptions& options);

}  // namespace varnholt::bench
