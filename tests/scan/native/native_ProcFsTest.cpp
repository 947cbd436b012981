#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <unistd.h>

#include "FakeProc.h"
#include "scan/NativeLinuxSource.h"
#include "scan/native/ProcFs.h"
#include "scan/native/ProcNetTables.h"

namespace varnholt {
namespace {

using test::FakeProc;

TEST(NativeProcFsTree, HoldersByPidThenDescriptorNumerically) {
    FakeProc proc;
    proc.descriptor(10, 12, "socket:[500]");
    proc.descriptor(10, 3, "socket:[501]");
    proc.descriptor(10, 4, "socket:[999]");  // not a listener
    proc.descriptor(10, 5, "/dev/null");
    proc.descriptor(9, 7, "socket:[500]");  // a forked worker sharing the socket
    proc.descriptor(9, 8, "pipe:[500]");
    proc.descriptor(200, 0, "socket:[502]");
    proc.file(300, "comm", "gone\n");  // no fd folder: unreadable, skipped
    QDir().mkpath(proc.path() + "/self/fd");
    QDir().mkpath(proc.path() + "/sys");

    const auto holders = ProcFs::holdersOf({500, 501, 502, 503}, proc.root());
    const QList<ProcFs::SocketHolder> expected = {
        {9, 7, 500}, {10, 3, 501}, {10, 12, 500}, {200, 0, 502}};
    EXPECT_EQ(holders, expected);
    EXPECT_TRUE(ProcFs::holdersOf({}, proc.root()).isEmpty());
    EXPECT_TRUE(ProcFs::holdersOf({500}, proc.root() + "/missing").isEmpty());
}

TEST(NativeProcFsTree, ListingFromProcNetTables) {
    FakeProc proc;
    const QByteArray header =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
        "timeout inode\n";
    auto row = [](const char* local, const char* remote, const char* state, int inode) {
        return QStringLiteral(
                   "   0: %1 %2 %3 00000000:00000000 00:00000000 00000000  1000  0 %4 1 0\n")
            .arg(local, remote, state)
            .arg(inode)
            .toLatin1();
    };
    const char* noPeer = "00000000:0000";
    const char* noPeer6 = "00000000000000000000000000000000:0000";
    proc.netTable("tcp", header + row("0100007F:1F40", noPeer, "0A", 500) +      // 127.0.0.1:8000
                             row("00000000:0BB8", noPeer, "0A", 501) +           // *:3000
                             row("0100007F:1F40", "0100007F:C878", "01", 777) +  // a connection
                             row("0100007F:D049", "0100007F:C878", "06", 0) +    // TIME_WAIT
                             row("00000000:0050", noPeer, "0A", 504));  // holder unreadable
    proc.netTable("tcp6", header +
                              row("00000000000000000000000001000000:1435", noPeer6, "0A", 502) +
                              row("0000000000000000FFFF00000100007F:AFC9", noPeer6, "0A", 503));

    proc.file(9, "comm", "nginx\n");
    proc.descriptor(9, 6, "socket:[501]");
    proc.file(10, "comm", "nginx\n");  // a worker sharing the master's socket
    proc.descriptor(10, 6, "socket:[501]");
    proc.descriptor(10, 3, "socket:[500]");
    proc.file(200, "comm", "node\n");
    proc.descriptor(200, 20, "socket:[502]");
    proc.descriptor(200, 21, "socket:[503]");
    proc.descriptor(200, 22, "socket:[777]");
    proc.descriptor(300, 4, "socket:[504]");  // no comm: the process has ended

    NativeLinuxSource source(proc.root(), false);
    QStringList listed;
    for (const ListeningSocket& s : source.listeningSockets()) {
        listed << QStringLiteral("%1 %2 %3").arg(s.pid).arg(s.command, s.name);
    }
    EXPECT_EQ(listed, (QStringList{"9 nginx *:3000", "10 nginx 127.0.0.1:8000", "10 nginx *:3000",
                                   "200 node [::1]:5173", "200 node 127.0.0.1:45001"}));

    // The port test reads the same tables where netlink is refused.
    const struct {
        quint16 port;
        bool inUse;
    } ports[] = {{8000, true}, {51320, true}, {53321, false}, {5173, true}, {9999, false}};
    for (const auto& p : ports) {
        EXPECT_EQ(ProcNetTables::portInUse(p.port, proc.root()), std::optional<bool>(p.inUse))
            << p.port;
    }
    EXPECT_EQ(ProcNetTables::portInUse(8000, proc.root() + "/missing"), std::nullopt);
}

TEST(NativeProcFsTree, ProcessFactsWithoutAPriorListing) {
    FakeProc proc;
    proc.file(42, "comm", "python3\n");
    proc.file(42, "cmdline", QByteArray("python3\0-m\0http.server\0", 24));
    proc.cwd(42, "/home/me/Sites/blog");
    proc.file(43, "comm", "kworker/0:1\n");
    proc.file(43, "cmdline", QByteArray());

    NativeLinuxSource source(proc.root());
    EXPECT_EQ(source.fullCommand(42), "python3 -m http.server\n");
    EXPECT_EQ(source.workingDirectory(42), "/home/me/Sites/blog");
    EXPECT_EQ(source.fullCommand(43), "[kworker/0:1]\n");
    EXPECT_EQ(source.workingDirectory(43), "");
    EXPECT_EQ(ProcFs::commandName(42, proc.root()), "python3");
    for (qint32 pid : {0, -1, 44}) {
        EXPECT_EQ(source.fullCommand(pid), "") << pid;
        EXPECT_EQ(source.workingDirectory(pid), "") << pid;
        EXPECT_EQ(ProcFs::commandName(pid, proc.root()), std::nullopt) << pid;
    }
}

TEST(NativeProcFsTree, NothingCarriesOverToTheNextScan) {
    FakeProc proc;
    proc.file(42, "comm", "node\n");
    proc.file(42, "cmdline", QByteArray("node\0old.js\0", 12));
    NativeLinuxSource source(proc.root());
    EXPECT_EQ(source.fullCommand(42), "node old.js\n");

    // The pid now names another program; a new listing must not answer with
    // what the previous scan read.
    proc.file(42, "cmdline", QByteArray("node\0new.js\0", 12));
    source.listeningSockets();
    EXPECT_EQ(source.fullCommand(42), "node new.js\n");
}

}  // namespace
}  // namespace varnholt
