#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <optional>

// What the registry needs to know of a running process to tell whether it is
// a package server it started. One file per platform.
namespace varnholt::ServerProcess {

struct Facts {
    QString executable;     // the program file it runs, links resolved
    uid_t owner = 0;        // its real user
    QStringList arguments;  // its argument vector, program name first
    qint64 startTime = 0;   // when it started, in the kernel's units; 0 unknown
    // Its private link's secret, from the environment it was started with
    // (readable by its owner only); empty when it serves openly.
    QString token{};
};

// The value of one variable in an environment block as the system lists it
// (NAME=value entries, each ended by NUL); empty when absent.
QByteArray environmentValue(const QByteArray& block, const QByteArray& name);

// Absent when the process is gone or cannot be read.
std::optional<Facts> read(qint32 pid);

// The start time alone, for telling a process from a later one that got
// its pid; 0 when unknown.
qint64 startTime(qint32 pid);

}  // namespace varnholt::ServerProcess
