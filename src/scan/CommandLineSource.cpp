#include "CommandLineSource.h"

#include "ListingParser.h"
#include "exec/Shell.h"
#include "exec/Tools.h"

namespace varnholt {

QList<ListeningSocket> CommandLineSource::listeningSockets() {
    return ListingParser::parseListing(
        probe(tools().lsof, {"-nP", "-iTCP", "-sTCP:LISTEN", "-F", "pcn"}));
}

QString CommandLineSource::fullCommand(qint32 pid) {
    // ps and lsof read 0 and negative ids as "no filter" or as process
    // groups; such an id never names one process.
    if (pid <= 0) {
        return {};
    }
    return probe(tools().ps, {"-o", "command=", "-p", QString::number(pid)});
}

QString CommandLineSource::workingDirectory(qint32 pid) {
    if (pid <= 0) {
        return {};
    }
    return ListingParser::parseCwdListing(
        probe(tools().lsof, {"-a", "-p", QString::number(pid), "-d", "cwd", "-Fn"}));
}

}  // namespace varnholt
