#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>

#include "LoopbackPorts.h"
#include "LoopbackServer.h"
#include "LoopbackSocket.h"
#include "exec/Shell.h"
#include "exec/Tools.h"
#include "scan/CommandLineSource.h"
#include "scan/HostScanner.h"
#include "scan/NativeLinuxSource.h"
#include "scan/ScanPlatform.h"
#include "scan/native/ProcNetParser.h"
#include "scan/native/ProcNetTables.h"
#include "scan/native/SockDiag.h"
#include "scan/native/SocketName.h"

namespace varnholt {
namespace {

using test::LoopbackServer;
using test::LoopbackSocket;

template <typename T>
QList<T> ofPids(const QList<T>& all, const QSet<qint32>& pids) {
    QList<T> mine;
    for (const T& item : all) {
        if (pids.contains(item.pid)) {
            mine.append(item);
        }
    }
    return mine;
}

QString describe(const QList<HostedPort>& ports) {
    QString text;
    for (const HostedPort& p : ports) {
        text += QStringLiteral("%1 %2 %3 %4 %5\n")
                    .arg(p.pid)
                    .arg(p.command)
                    .arg(p.port)
                    .arg(p.scope, p.friendlyName);
    }
    return text;
}

QString describe(const QList<ListeningSocket>& sockets) {
    QString text;
    for (const ListeningSocket& s : sockets) {
        text += QStringLiteral("%1 %2 %3\n").arg(s.pid).arg(s.command, s.name);
    }
    return text;
}

// Real servers, each in a folder of its own, as a user would run them.
class NativeLive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_blogPort = test::freeLoopbackPort();
        m_shopPort = test::freeLoopbackPort();
        m_quietPort = test::freeLoopbackPort();
        m_notesPort = test::freeLoopbackPort(true);
        ASSERT_TRUE(m_blogPort && m_shopPort && m_quietPort && m_notesPort);

        const QString python = tools().python3;
        const QString shop = m_dir.path() + "/shop";
        const QString quiet = m_dir.path() + "/quiet";
        m_blog = LoopbackServer::start(
            {python, "-m", "http.server", "--bind", "127.0.0.1", QString::number(m_blogPort)},
            m_dir.path() + "/blog", "127.0.0.1", m_blogPort);
        m_shop = LoopbackServer::start(LoopbackServer::nodeCommand(shop, m_shopPort, "0.0.0.0"),
                                       shop, "127.0.0.1", m_shopPort);
        m_quiet =
            LoopbackServer::start(LoopbackServer::nodeCommand(quiet, m_quietPort, "127.0.0.1"),
                                  quiet, "127.0.0.1", m_quietPort);
        m_notes = LoopbackServer::start(
            {python, "-m", "http.server", "--bind", "::1", QString::number(m_notesPort)},
            m_dir.path() + "/notes", "::1", m_notesPort);
        ASSERT_TRUE(m_blog && m_shop && m_quiet && m_notes);
        ASSERT_TRUE(m_blog->waitUntilListening());
        ASSERT_TRUE(m_shop->waitUntilListening());
        ASSERT_TRUE(m_quiet->waitUntilListening());
        ASSERT_TRUE(m_notes->waitUntilListening());
        m_pids = {m_blog->pid(), m_shop->pid(), m_quiet->pid(), m_notes->pid()};
    }

    QTemporaryDir m_dir;
    quint16 m_blogPort = 0, m_shopPort = 0, m_quietPort = 0, m_notesPort = 0;
    std::unique_ptr<LoopbackServer> m_blog, m_shop, m_quiet, m_notes;
    QSet<qint32> m_pids;
};

TEST_F(NativeLive, ListsTheSameSocketsAsLsof) {
    NativeLinuxSource native;
    CommandLineSource commandLine;
    const auto fromLsof = ofPids(commandLine.listeningSockets(), m_pids);
    const auto fromKernel = ofPids(native.listeningSockets(), m_pids);
    EXPECT_EQ(describe(fromKernel), describe(fromLsof));
    // Where sock_diag is refused, the /proc/net tables give the same list.
    NativeLinuxSource withoutSockDiag("/proc", false);
    EXPECT_EQ(describe(ofPids(withoutSockDiag.listeningSockets(), m_pids)), describe(fromLsof));

    const QList<ListeningSocket> expected = {
        {m_blog->pid(), "python3", QStringLiteral("127.0.0.1:%1").arg(m_blogPort)},
        {m_shop->pid(), "node", QStringLiteral("*:%1").arg(m_shopPort)},
        {m_quiet->pid(), "node", QStringLiteral("127.0.0.1:%1").arg(m_quietPort)},
        {m_notes->pid(), "python3", QStringLiteral("[::1]:%1").arg(m_notesPort)},
    };
    auto sorted = expected;
    std::sort(sorted.begin(), sorted.end(),
              [](const ListeningSocket& a, const ListeningSocket& b) { return a.pid < b.pid; });
    EXPECT_EQ(describe(fromKernel), describe(sorted));

    for (qint32 pid : m_pids) {
        EXPECT_EQ(native.fullCommand(pid), commandLine.fullCommand(pid)) << pid;
        EXPECT_EQ(native.workingDirectory(pid), commandLine.workingDirectory(pid)) << pid;
    }
}

TEST_F(NativeLive, ScanRulesSeeTheSameServers) {
    NativeLinuxSource native;
    CommandLineSource commandLine;
    const auto fromKernel = ofPids(HostScanner::scan(native), m_pids);
    const auto fromTools = ofPids(HostScanner::scan(commandLine), m_pids);
    EXPECT_EQ(describe(fromKernel), describe(fromTools));

    // The unmarked loopback Node server is left out by the rules.
    QList<HostedPort> expected = {
        {m_blog->pid(), "python3", m_blogPort, "LOCAL", "blog"},
        {m_shop->pid(), "node", m_shopPort, "NET", "shop"},
        {m_notes->pid(), "python3", m_notesPort, "LOCAL", "notes"},
    };
    std::stable_sort(expected.begin(), expected.end(),
                     [](const HostedPort& a, const HostedPort& b) { return a.port < b.port; });
    EXPECT_EQ(describe(fromKernel), describe(expected));
    // The platform's default source is the native one.
    EXPECT_EQ(describe(ofPids(HostScanner::scan(), m_pids)), describe(expected));
}

TEST_F(NativeLive, SharedListenSocketIsListedOncePerProcess) {
    // A parent and its forked child both hold the one listening socket, as
    // pre-forking servers do; lsof lists it under each process.
    const quint16 port = test::freeLoopbackPort();
    // The child leaves as soon as its parent is stopped. The parent listens
    // only once the child exists, so a port that answers has both holders.
    auto forked = LoopbackServer::start({tools().python3, "-c",
                                         "import os,socket,sys,time\n"
                                         "s=socket.socket();s.bind(('127.0.0.1'," +
                                             QString::number(port) +
                                             "))\n"
                                             "parent=os.getpid()\n"
                                             "if os.fork()==0:\n"
                                             "    while os.getppid()==parent: time.sleep(0.1)\n"
                                             "    sys.exit(0)\n"
                                             "s.listen()\n"
                                             "time.sleep(60)\n"},
                                        m_dir.path() + "/forked", "127.0.0.1", port);
    ASSERT_TRUE(forked);
    ASSERT_TRUE(forked->waitUntilListening());
    const QString name = QStringLiteral("127.0.0.1:%1").arg(port);
    QList<ListeningSocket> fromKernel, fromLsof;
    for (const auto& s : NativeLinuxSource().listeningSockets()) {
        if (s.name == name) {
            fromKernel.append(s);
        }
    }
    for (const auto& s : CommandLineSource().listeningSockets()) {
        if (s.name == name) {
            fromLsof.append(s);
        }
    }
    ASSERT_EQ(fromKernel.size(), 2);
    EXPECT_EQ(fromKernel[0].pid, forked->pid());
    EXPECT_GT(fromKernel[1].pid, 0);
    EXPECT_EQ(describe(fromKernel), describe(fromLsof));
}

// --- sockets held by this test process itself --------------------------------

bool lsofSaysFree(quint16 port) {
    return probe(tools().lsof, {"-ti:" + QString::number(port)}).trimmed().isEmpty();
}

TEST(NativePortProbe, AgreesWithLsofOnHeldAndFreePorts) {
    LoopbackSocket listener(SOCK_STREAM, AF_INET);
    const quint16 listening = listener.bind();
    ASSERT_TRUE(listener.listen());

    LoopbackSocket udp(SOCK_DGRAM, AF_INET6);
    const quint16 udpPort = udp.bind();

    // A connection: the client's own (ephemeral) port is held by it.
    LoopbackSocket client(SOCK_STREAM, AF_INET);
    ASSERT_TRUE(client.connect(listening));
    const quint16 clientPort = client.port();

    // A connection whose listener and server side are gone: only the far end
    // of the client's socket names the port, which lsof counts as held.
    LoopbackSocket gone(SOCK_STREAM, AF_INET);
    const quint16 remoteOnly = gone.bind();
    ASSERT_TRUE(gone.listen());
    LoopbackSocket halfClosed(SOCK_STREAM, AF_INET);
    ASSERT_TRUE(halfClosed.connect(remoteOnly));
    LoopbackSocket accepted = gone.accept();
    ASSERT_TRUE(accepted.valid());
    accepted.close();
    gone.close();

    // A port left with only a TIME_WAIT entry: no process holds it.
    LoopbackSocket waitListener(SOCK_STREAM, AF_INET);
    const quint16 timeWait = waitListener.bind();
    ASSERT_TRUE(waitListener.listen());
    {
        LoopbackSocket c(SOCK_STREAM, AF_INET);
        ASSERT_TRUE(c.connect(timeWait));
        LoopbackSocket a = waitListener.accept();
        ASSERT_TRUE(a.valid());
        a.close();  // the server closes first and keeps TIME_WAIT
        QThread::msleep(20);
    }
    waitListener.close();
    QThread::msleep(50);

    const quint16 unused = test::freeLoopbackPort();

    const struct {
        const char* what;
        quint16 port;
        bool free;
    } cases[] = {
        {"TCP listener", listening, false},
        {"UDP socket on ::1", udpPort, false},
        {"connected client's own port", clientPort, false},
        {"remote end of a connection", remoteOnly, false},
        {"TIME_WAIT only", timeWait, true},
        {"nothing there", unused, true},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.port, 0) << c.what;
        EXPECT_EQ(ScanPlatform::isFreePortNative(c.port), std::optional<bool>(c.free)) << c.what;
        EXPECT_EQ(HostScanner::isFreePort(c.port), c.free) << c.what;
        EXPECT_EQ(lsofSaysFree(c.port), c.free) << c.what << " (lsof)";
        EXPECT_EQ(ProcNetTables::portInUse(c.port), std::optional<bool>(!c.free))
            << c.what << " (/proc/net)";
    }
}

TEST(NativePortProbe, FirstFreePortSkipsHeldPorts) {
    // Hold two ports in a row and look for the first free one from there.
    for (int attempt = 0; attempt < 20; ++attempt) {
        LoopbackSocket a(SOCK_STREAM, AF_INET);
        const quint16 first = a.bind();
        LoopbackSocket b(SOCK_DGRAM, AF_INET6);
        if (first == 0 || first > 65533 || b.bind(first + 1) == 0) {
            continue;
        }
        ASSERT_TRUE(a.listen());
        if (!lsofSaysFree(first + 2)) {
            continue;
        }
        EXPECT_EQ(HostScanner::firstFreePort(first, first + 10), first + 2);
        EXPECT_EQ(HostScanner::firstFreePort(first, first + 1), std::nullopt);
        return;
    }
    GTEST_SKIP() << "no three consecutive ports to work with";
}

TEST(NativeFallback, ProcNetTablesGiveTheSameListeners) {
    for (const int family : {AF_INET, AF_INET6}) {
        LoopbackSocket listener(SOCK_STREAM, family);
        const quint16 port = listener.bind();
        ASSERT_TRUE(listener.listen());

        const auto fromKernel = SockDiag::dump(family, IPPROTO_TCP, 1u << TCP_LISTEN);
        ASSERT_TRUE(fromKernel.has_value()) << "sock_diag refused";
        QFile table(family == AF_INET ? "/proc/net/tcp" : "/proc/net/tcp6");
        ASSERT_TRUE(table.open(QIODevice::ReadOnly));
        const auto fromText = ProcNetParser::parse(table.readAll(), family);

        auto find = [&](const QList<InetSocket>& sockets) -> std::optional<InetSocket> {
            for (const InetSocket& s : sockets) {
                if (s.inode == listener.inode()) {
                    return s;
                }
            }
            return std::nullopt;
        };
        const auto a = find(*fromKernel);
        const auto b = find(fromText);
        ASSERT_TRUE(a && b) << family;
        EXPECT_EQ(*a, *b);
        EXPECT_EQ(a->port, port);
        EXPECT_EQ(a->state, TCP_LISTEN);
        EXPECT_EQ(a->uid, quint32(::getuid()));
        EXPECT_EQ(SocketName::local(*a), family == AF_INET
                                             ? QStringLiteral("127.0.0.1:%1").arg(port)
                                             : QStringLiteral("[::1]:%1").arg(port));
    }
}

TEST(NativeSockDiag, KernelAppliesThePortFilter) {
    LoopbackSocket a(SOCK_STREAM, AF_INET);
    const quint16 port = a.bind();
    ASSERT_TRUE(a.listen());
    LoopbackSocket b(SOCK_STREAM, AF_INET);
    ASSERT_NE(b.bind(), 0);
    ASSERT_TRUE(b.listen());
    LoopbackSocket a6(SOCK_STREAM, AF_INET6);
    ASSERT_EQ(a6.bind(port), port);
    ASSERT_TRUE(a6.listen());

    auto inodes = [](const std::optional<QList<InetSocket>>& sockets) {
        QSet<quint32> set;
        for (const InetSocket& s : sockets.value_or(QList<InetSocket>{})) {
            set.insert(s.inode);
        }
        return set;
    };
    const auto v4 = SockDiag::dump(AF_INET, IPPROTO_TCP, 1u << TCP_LISTEN, port);
    ASSERT_TRUE(v4.has_value()) << "filter refused";
    EXPECT_EQ(inodes(v4), QSet<quint32>{a.inode()});

    const auto both = SockDiag::dumpTcpBothFamilies(1u << TCP_LISTEN, port);
    ASSERT_TRUE(both.has_value()) << "filter refused";
    EXPECT_EQ(inodes(both), (QSet<quint32>{a.inode(), a6.inode()}));
}

}  // namespace
}  // namespace varnholt
