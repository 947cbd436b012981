#pragma once

namespace varnholt {

// How a package is to be served.
struct ServeOptions {
    bool privately = false;
    // Only with privately: nobody without the link may fill the disk.
    bool uploads = false;

    bool operator==(const ServeOptions&) const = default;
};

}  // namespace varnholt
