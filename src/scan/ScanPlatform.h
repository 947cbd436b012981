#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "ProcessSource.h"

// The per-OS half of host discovery; one implementation file per platform.
namespace varnholt::ScanPlatform {

// The fastest source of process facts this platform has.
std::unique_ptr<ProcessSource> defaultSource();

// Whether a port is free, answered without launching a process; nullopt when
// the platform cannot tell natively (the caller then asks lsof).
std::optional<bool> isFreePortNative(qint64 port);

QString ssid();
QString wifiIP();

}  // namespace varnholt::ScanPlatform
