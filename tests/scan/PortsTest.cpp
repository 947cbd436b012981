// Free-port search and stopping, with real sockets and real processes.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <random>

#include "ChildProcess.h"
#include "EventLoop.h"
#include "KillLog.h"
#include "LoopbackSocket.h"
#include "Processes.h"
#include "TempHome.h"
#include "exec/Shell.h"
#include "scan/HostScanner.h"

namespace varnholt {
namespace {

using test::ChildProcess;
using test::LoopbackSocket;
using test::KillLog::callsFor;
using Calls = std::vector<std::pair<pid_t, int>>;

// ---- isFreePort and firstFreePort ----

TEST(Ports, UdpSocketHoldsItsPort) {
    LoopbackSocket udp(SOCK_DGRAM);
    ASSERT_TRUE(udp.bind(0));
    EXPECT_FALSE(HostScanner::isFreePort(udp.port()));
}

TEST(Ports, ConnectedTcpSocketHoldsItsPortWithoutListening) {
    LoopbackSocket listener(SOCK_STREAM);
    ASSERT_TRUE(listener.bind(0) && listener.listen());
    const quint16 port = listener.port();
    LoopbackSocket client(SOCK_STREAM);
    ASSERT_TRUE(client.connect(port));
    LoopbackSocket served = listener.accept();
    ASSERT_TRUE(served.valid());
    listener.close();  // only the connection keeps the port now

    EXPECT_FALSE(HostScanner::isFreePort(port));
    EXPECT_FALSE(HostScanner::isFreePort(client.port()));
}

TEST(Ports, PortsNoSocketCanHoldAreNeverFree) {
    for (qint64 port : {qint64(0), qint64(-1), qint64(65536), std::numeric_limits<qint64>::max()}) {
        EXPECT_FALSE(HostScanner::isFreePort(port)) << port;
    }
}

TEST(Ports, FirstFreePortSkipsBusyPorts) {
    // Three ports in a row, the first two held by listeners.
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> base(20000, 59000);
    for (int attempt = 0; attempt < 50; ++attempt) {
        const auto from = static_cast<quint16>(base(random));
        LoopbackSocket a(SOCK_STREAM);
        LoopbackSocket b(SOCK_STREAM);
        LoopbackSocket probe(SOCK_STREAM);
        if (!a.bind(from) || !a.listen() || !b.bind(from + 1) || !b.listen() ||
            !probe.bind(from + 2)) {
            continue;
        }
        probe.close();

        EXPECT_TRUE(HostScanner::isFreePort(from + 2));
        EXPECT_EQ(HostScanner::firstFreePort(from, from + 5), from + 2);
        EXPECT_EQ(HostScanner::firstFreePort(from, from + 1), std::nullopt);
        EXPECT_EQ(HostScanner::firstFreePort(from + 2, from + 2), from + 2);
        EXPECT_EQ(HostScanner::firstFreePort(from + 1, from + 1), std::nullopt);
        return;
    }
    FAIL() << "no three free ports in a row found";
}

TEST(Ports, FirstFreePortTriesInOrderAndStopsAtTheFirstHit) {
    const struct {
        const char* title;
        qint64 from, to;
        QList<qint64> busy;
        std::optional<qint64> expected;
        QList<qint64> tried;
    } cases[] = {
        {"two busy", 1010, 1040, {1010, 1011}, 1012, {1010, 1011, 1012}},
        {"first free", 1010, 1040, {}, 1010, {1010}},
        {"range of one, free", 1020, 1020, {}, 1020, {1020}},
        {"range of one, busy", 1020, 1020, {1020}, std::nullopt, {1020}},
        {"from above to", 1040, 1010, {}, std::nullopt, {}},
        {"top of the number range",
         std::numeric_limits<qint64>::max() - 1,
         std::numeric_limits<qint64>::max(),
         {std::numeric_limits<qint64>::max() - 1, std::numeric_limits<qint64>::max()},
         std::nullopt,
         {std::numeric_limits<qint64>::max() - 1, std::numeric_limits<qint64>::max()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        QList<qint64> tried;
        const auto result = HostScanner::firstFreePort(c.from, c.to, [&](qint64 port) {
            tried.append(port);
            return !c.busy.contains(port);
        });
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(tried, c.tried);
    }

    int calls = 0;
    EXPECT_EQ(HostScanner::firstFreePort(1010, 1040, [&](qint64) { return ++calls, false; }),
              std::nullopt);
    EXPECT_EQ(calls, 31);
}

// ---- stop ----

class Stop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        test::KillLog::clear();
    }
    QString file(const char* name) const { return m_home.scratch() + "/" + name; }

    test::TempHome m_home;
};

TEST_F(Stop, ProcessThatEndsOnTerminateGetsNothingMore) {
    // Takes a moment to shut down, but less than the kill delay.
    const QString ready = file("ready");
    auto child = ChildProcess::start({"/usr/bin/python3", "-c",
                                      "import signal, sys, time\n"
                                      "def down(*_):\n"
                                      "    time.sleep(0.3)\n"
                                      "    sys.exit(7)\n"
                                      "signal.signal(signal.SIGTERM, down)\n"
                                      "open(sys.argv[1], 'w').close()\n"
                                      "time.sleep(30)\n",
                                      ready});
    ASSERT_TRUE(child);
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(ready); }, std::chrono::seconds(10)));

    HostScanner::stop(child->pid());
    const auto status = child->waitForExit(std::chrono::seconds(5));
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 7);
    // Let the delayed check run: it finds the process gone and sends nothing.
    test::spinFor(std::chrono::milliseconds(HostScanner::kKillDelayMs + 500));
    EXPECT_EQ(callsFor(child->pid()), (Calls{{child->pid(), SIGTERM}, {child->pid(), 0}}));
}

TEST_F(Stop, ProcessThatIgnoresTerminateIsKilledAfterTheDelay) {
    // The ignored signal survives exec, so the pid we hold is the one that
    // ignores it.
    auto child = ChildProcess::start({"/bin/sh", "-c", "trap '' TERM; exec sleep 30"});
    ASSERT_TRUE(child);
    const QString comm = QString("/proc/%1/comm").arg(child->pid());
    ASSERT_TRUE(test::waitUntil(
        [&] {
            QFile f(comm);
            return f.open(QIODevice::ReadOnly) && f.readAll().trimmed() == "sleep";
        },
        std::chrono::seconds(10)));

    QElapsedTimer clock;
    clock.start();
    HostScanner::stop(child->pid());
    EXPECT_FALSE(child->waitForExit(std::chrono::milliseconds(300)));  // stop() did not wait
    std::optional<int> status;
    test::waitUntil(
        [&] { return (status = child->waitForExit(std::chrono::milliseconds(0))).has_value(); },
        std::chrono::seconds(3));
    ASSERT_TRUE(status) << "still running after the kill delay";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL);
    EXPECT_GE(clock.elapsed(), HostScanner::kKillDelayMs - 50);
    EXPECT_EQ(callsFor(child->pid()),
              (Calls{{child->pid(), SIGTERM}, {child->pid(), 0}, {child->pid(), SIGKILL}}));
}

TEST_F(Stop, IdsThatNameNoSingleProcessAreIgnored) {
    for (qint32 pid : {0, -1, qint32(-::getpid()), std::numeric_limits<qint32>::min()}) {
        HostScanner::stop(pid);
    }
    test::spinFor(std::chrono::milliseconds(HostScanner::kKillDelayMs + 300));
    EXPECT_TRUE(test::KillLog::calls().empty());
}

TEST_F(Stop, FinishedBackgroundChildIsGoneForTheNullSignal) {
    const qint32 pid = shellBackground("/bin/sh", {"-c", "exit 0"});
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(test::waitUntilGone(pid, std::chrono::seconds(3)));
}

}  // namespace
}  // namespace varnholt
