#pragma once

#include <chrono>
#include <functional>

namespace varnholt::test {

// Runs the event loop, posted deletes included, until the condition holds or
// the timeout passes; whether it held.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Runs the event loop for the whole duration, e.g. to let a delayed timer of
// the code under test fire.
void spinFor(std::chrono::milliseconds duration);

}  // namespace varnholt::test
