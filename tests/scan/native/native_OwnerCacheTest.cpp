#include <gtest/gtest.h>

#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <unistd.h>

#include <functional>

#include "FakeProc.h"
#include "exec/Tools.h"
#include "scan/HostScanner.h"
#include "scan/NativeLinuxSource.h"
#include "scan/native/OwnerCache.h"
#include "scan/native/ProcFs.h"

namespace varnholt {
namespace {

using test::FakeProc;

QStringList describe(const QList<ProcFs::NamedHolder>& holders, const QSet<qint32>& only = {}) {
    QStringList lines;
    for (const ProcFs::NamedHolder& h : holders) {
        if (only.isEmpty() || only.contains(h.holder.pid)) {
            lines << QStringLiteral("%1/%2 %3 %4")
                         .arg(h.holder.pid)
                         .arg(h.holder.fd)
                         .arg(h.command)
                         .arg(h.holder.inode);
        }
    }
    return lines;
}

// Each step changes the tree the way a process would change /proc; after it
// the cache must answer as a full walk does, doing only the work the step
// calls for.
TEST(NativeOwnerCache, AnswersAsAFullWalkThroughEveryKindOfChange) {
    FakeProc proc;
    proc.process(1, "systemd", 0, 1);
    proc.descriptor(1, 0, "/dev/null");
    proc.process(10, "node", 1, 100);
    proc.descriptor(10, 3, "socket:[500]");
    proc.descriptor(10, 4, "socket:[900]");  // a connection, not a listener
    proc.process(20, "sh", 1, 200);
    proc.descriptor(20, 5, "socket:[501]");
    proc.process(30, "sshd", 1, 50);  // no fd folder: another user's, unreadable
    proc.process(40, "bash", 1, 300);
    proc.descriptor(40, 0, "/dev/pts/0");

    OwnerCache cache(proc.root());
    std::unordered_set<quint32> listening = {500, 501, 502};
    EXPECT_EQ(describe(cache.holdersOf(listening)), (QStringList{"10/3 node 500", "20/5 sh 501"}));

    const struct Step {
        const char* what;
        std::function<void()> change;
        QStringList expected;
        int walked;  // descriptor folders the scan had to read
        bool widerWalk;
    } steps[] = {
        {"nothing changed", [] {}, {"10/3 node 500", "20/5 sh 501"}, 0, false},
        {"a forked child inherits the listener",
         [&] {
             proc.process(11, "node", 10, 400);
             proc.descriptor(11, 3, "socket:[500]");
         },
         {"10/3 node 500", "11/3 node 500", "20/5 sh 501"},
         1,
         false},
        {"a listener closed while its process lives",
         [&] { proc.closeDescriptor(10, 3); },
         {"11/3 node 500", "20/5 sh 501"},
         1,
         false},
        {"the descriptor number reused for another listener (dup2)",
         [&] {
             proc.descriptor(11, 3, "socket:[503]");
             listening = {501, 502, 503};
         },
         // The old listener went with it; the new one is nobody's known
         // socket, and the youngest process explains it.
         {"11/3 node 503", "20/5 sh 501"},
         1,
         true},
        {"a worker forked off the new listener",
         [&] {
             proc.process(12, "node", 11, 450);
             proc.descriptor(12, 3, "socket:[503]");
         },
         {"11/3 node 503", "12/3 node 503", "20/5 sh 501"},
         1,
         false},
        // Rewritten in place, so even the folder looks the same: only the
        // start time tells the new process from the worker.
        {"the worker ends and its pid goes to another process",
         [&] {
             proc.process(12, "python3", 40, 500);
             proc.descriptor(12, 3, "socket:[901]");
         },
         {"11/3 node 503", "20/5 sh 501"},
         1,
         false},
        {"a holder execs into a whitelisted name",
         [&] { proc.file(20, "comm", "python3\n"); },
         {"11/3 node 503", "20/5 python3 501"},
         0,
         false},
        {"a new listener of a process we cannot read",
         [&] {
             proc.process(31, "sshd", 1, 600);
             listening.insert(505);
         },
         {"11/3 node 503", "20/5 python3 501"},
         8,  // 31 as a new process, then the seven others looking for 505
         true},
        {"no process explains it: not looked for again",
         [] {},
         {"11/3 node 503", "20/5 python3 501"},
         0,
         false},
        {"a process walked before it listened",
         [&] {
             proc.descriptor(40, 9, "socket:[506]");
             listening.insert(506);
         },
         // Youngest first: 31, 12, 11, then 40, which explains it.
         {"11/3 node 503", "20/5 python3 501", "40/9 bash 506"},
         4,
         true},
    };
    for (const Step& step : steps) {
        step.change();
        const auto answer = cache.holdersOf(listening);
        EXPECT_EQ(describe(answer), step.expected) << step.what;
        EXPECT_EQ(describe(answer), describe(ProcFs::namedHoldersOf(listening, proc.root(), {})))
            << step.what;
        EXPECT_EQ(cache.lastWork().processesWalked, step.walked) << step.what;
        EXPECT_EQ(cache.lastWork().widerWalk, step.widerWalk) << step.what;
    }
}

// A Python program that changes its descriptors on command, so each change a
// server can make is tried on a real process. It answers each line with one.
const char* kPuppet = R"(
import os, socket, sys, time
held = {}
def answer(*words):
    print(*words, flush=True)
answer('ready')
for line in sys.stdin:
    command, *args = line.split()
    if command == 'listen':
        s = socket.socket()
        s.bind(('127.0.0.1', 0))
        s.listen()
        s.set_inheritable(True)
        held[s.fileno()] = s
        answer(s.fileno())
    elif command == 'fork':
        parent = os.getpid()
        child = os.fork()
        if child == 0:
            while os.getppid() == parent:
                time.sleep(0.05)
            os._exit(0)
        answer(child)
    elif command == 'close':
        held.pop(int(args[0])).close()
        answer('closed')
    elif command == 'dup2':
        fd = int(args[0])
        held.pop(fd).detach()
        other = socket.socket()
        os.dup2(other.fileno(), fd)
        other.close()
        answer('reused')
    elif command == 'exec':
        os.execv(args[0], [args[0], '-c', os.environ['PUPPET']])
)";

class Puppet {
public:
    bool start(const QString& program) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PUPPET", QString::fromUtf8(kPuppet));
        m_process.setProcessEnvironment(environment);
        m_process.start(program, {"-c", QString::fromUtf8(kPuppet)});
        return m_process.waitForStarted() && read() == "ready";
    }
    QString ask(const QString& line) {
        m_process.write((line + "\n").toUtf8());
        return read();
    }
    // exec: the same process answers "ready" again under its new name.
    QString read() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000)) {
                return {};
            }
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    qint32 pid() const { return qint32(m_process.processId()); }

private:
    QProcess m_process;  // killed by its pid when the test ends
};

TEST(NativeOwnerCacheLive, RealProcessesListedAsAFullWalkListsThem) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The puppet starts under a name no server has, and can exec into one.
    const QString plain = dir.path() + "/puppet";
    const QString server = dir.path() + "/serve-puppet";
    ASSERT_EQ(::symlink(tools().python3.toUtf8().constData(), plain.toUtf8().constData()), 0);
    ASSERT_EQ(::symlink(tools().python3.toUtf8().constData(), server.toUtf8().constData()), 0);
    Puppet puppet;
    ASSERT_TRUE(puppet.start(plain));
    const qint32 pid = puppet.pid();
    QSet<qint32> ours = {pid};

    auto cache = std::make_shared<OwnerCache>();
    NativeLinuxSource source("/proc", true, cache);
    // Ours as the cache and as a full walk see them, through the source the
    // scan uses: pid, name and socket.
    const auto ownListing = [&](const CommandFilter& filter = {}) {
        QStringList lines;
        for (const ListeningSocket& s : source.listeningSockets(filter)) {
            if (ours.contains(s.pid)) {
                lines << QStringLiteral("%1 %2 %3").arg(s.pid).arg(s.command, s.name);
            }
        }
        return lines;
    };
    const auto fullWalk = [&](const CommandFilter& filter = {}) {
        NativeLinuxSource fresh;  // its own cache: its first listing walks everything
        QStringList lines;
        for (const ListeningSocket& s : fresh.listeningSockets(filter)) {
            if (ours.contains(s.pid)) {
                lines << QStringLiteral("%1 %2 %3").arg(s.pid).arg(s.command, s.name);
            }
        }
        return lines;
    };
    ownListing();  // the first, full walk

    const QString first = puppet.ask("listen");
    ASSERT_FALSE(first.isEmpty());
    QStringList listed = ownListing();
    ASSERT_EQ(listed.size(), 1) << "a listener of a process walked before it listened";
    EXPECT_EQ(listed, fullWalk());

    const qint32 child = puppet.ask("fork").toInt();
    ASSERT_GT(child, 0);
    ours.insert(child);
    listed = ownListing();
    EXPECT_EQ(listed.size(), 2) << "a forked child inherits the listener";
    EXPECT_EQ(listed, fullWalk());

    // Listens and forks between two scans: the parent is found through its child.
    const QString second = puppet.ask("listen");
    ASSERT_FALSE(second.isEmpty());
    const qint32 secondChild = puppet.ask("fork").toInt();
    ASSERT_GT(secondChild, 0);
    ours.insert(secondChild);
    listed = ownListing();
    EXPECT_EQ(listed.size(), 5);  // the first listener thrice, the second twice
    EXPECT_EQ(listed, fullWalk());

    EXPECT_EQ(puppet.ask("close " + first), "closed");
    listed = ownListing();
    EXPECT_EQ(listed.size(), 4) << "closed in the parent, still held by both children";
    EXPECT_EQ(listed, fullWalk());

    EXPECT_EQ(puppet.ask("dup2 " + second), "reused");
    listed = ownListing();
    EXPECT_EQ(listed.size(), 3) << "the descriptor number now names a socket that does not listen";
    EXPECT_EQ(listed, fullWalk());

    // The parent listens again under a name the whitelist does not know, then
    // becomes a server program by exec, keeping its listener.
    ASSERT_FALSE(puppet.ask("listen").isEmpty());
    const CommandFilter whitelisted = [](const QString& command) {
        return HostScanner::whitelist.end() !=
               std::find_if(HostScanner::whitelist.begin(), HostScanner::whitelist.end(),
                            [&command](const QString& word) { return command.contains(word); });
    };
    listed = ownListing(whitelisted);
    EXPECT_EQ(listed, fullWalk(whitelisted));
    for (const QString& line : listed) {
        EXPECT_FALSE(line.startsWith(QString::number(pid) + " ")) << line.toStdString();
    }
    EXPECT_EQ(puppet.ask("exec " + server), "ready");
    listed = ownListing(whitelisted);
    EXPECT_EQ(listed, fullWalk(whitelisted));
    ASSERT_EQ(listed.size(), 1) << listed.join("; ").toStdString();
    EXPECT_TRUE(listed[0].startsWith(QStringLiteral("%1 serve-puppet 127.0.0.1:").arg(pid)));
}

}  // namespace
}  // namespace varnholt
