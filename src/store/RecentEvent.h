#pragma once

#include <QString>

#include <optional>

namespace varnholt::Store {

// One entry of the recent log: something the user stopped or removed.
struct RecentEvent {
    QString title;
    QString action;  // "stopped" or "removed"
    double at = 0;   // seconds since 1970-01-01 UTC
    std::optional<QString> path;

    friend bool operator==(const RecentEvent&, const RecentEvent&) = default;
};

}  // namespace varnholt::Store
