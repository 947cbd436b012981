#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include "scan/ListingParser.h"
#include "scan/ProcessSource.h"

namespace varnholt::test {

// Canned process facts: a recorded lsof listing plus command lines and
// working directories by pid. Records every lookup so tests can tell which
// processes the scan asked about.
class FakeProcessSource : public ProcessSource {
public:
    QString listing;
    QHash<qint32, QString> commands;
    QHash<qint32, QString> cwds;
    QList<ListeningSocket> hidden;
    QList<qint32> fullCommandCalls;
    QList<qint32> cwdCalls;

    QList<ListeningSocket> listeningSockets() override {
        return ListingParser::parseListing(listing);
    }
    QList<ListeningSocket> hiddenListeners() override { return hidden; }
    QString fullCommand(qint32 pid) override {
        fullCommandCalls.append(pid);
        return commands.value(pid);
    }
    QString workingDirectory(qint32 pid) override {
        cwdCalls.append(pid);
        return cwds.value(pid);
    }
};

}  // namespace varnholt::test
