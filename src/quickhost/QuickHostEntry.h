#pragma once

#include <QString>
#include <QtGlobal>

namespace varnholt {

// A package server the registry started.
struct QuickHostEntry {
    qint32 pid = 0;
    qint64 port = 0;
    // When the process started (0 unknown): a pid the system handed to a
    // later process is not taken for the server.
    qint64 startTime = 0;
    // Empty while the package is shared with its bare address; else the
    // secret its private link carries. Never logged.
    QString token{};
    // Whether visitors with the private link may upload into it.
    bool uploads = false;
    // How many files arrived while the app watched (the panel's count; the
    // registry leaves it 0).
    int received = 0;

    bool isPrivate() const { return !token.isEmpty(); }
    // What follows "http://ADDRESS:PORT/" in the link people are given.
    QString linkPath() const {
        return isPrivate() ? QStringLiteral("s/") + token + QLatin1Char('/') : QString();
    }
};

}  // namespace varnholt
