// The stored recent log: any bytes decode to a log or to nothing, a decoded
// log survives being stored again, and its times always have a text.
#include "FuzzInput.h"
#include "store/Store.h"
#include "store/TimeAgo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    const auto events = Store::decodeRecent(fuzz::bytes(data, size));
    if (!events) {
        return 0;
    }
    const auto stored = Store::encodeRecent(*events);
    fuzz::require(stored.has_value());
    fuzz::require(Store::decodeRecent(*stored) == events);
    for (const Store::RecentEvent& event : *events) {
        for (const double now : {1.7e9, event.at, -event.at, 0.0}) {
            fuzz::require(!timeAgo(event.at, now).isEmpty());
        }
    }
    return 0;
}
