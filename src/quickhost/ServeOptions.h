#pragma once

namespace varnholt {

// How a package is to be served.
struct ServeOptions {
    bool privately = false;
    // Only with privately: nobody without the link may fill the disk.
    bool uploads = false;
    // A server served anew keeps its private link unless a new one is asked
    // for: turning uploads on must not break the link a phone already has.
    bool newLink = false;

    bool operator==(const ServeOptions&) const = default;
};

}  // namespace varnholt
