#pragma once

#include <QByteArray>

#include <optional>

// The text of /proc/PID/stat, kept apart from the reading so recorded lines
// can be tried in tests.
namespace varnholt::ProcStatParser {

// The two facts the owner cache needs of a process.
struct ProcessStat {
    qint32 parent = 0;       // ppid; 0 for the kernel's own first processes
    quint64 startTicks = 0;  // start time in clock ticks after boot: with the
                             // pid, it tells a reused pid from the process
                             // that had it before
    bool operator==(const ProcessStat&) const = default;
};

// nullopt for text that is not a stat line. The name field is skipped from
// its last ")": a process may call itself "a) b (c" and stat does not quote.
std::optional<ProcessStat> parse(const QByteArray& text);

}  // namespace varnholt::ProcStatParser
