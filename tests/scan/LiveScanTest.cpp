// The scan against real servers on loopback, through the command-line tools
// and through the platform's default source.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

#include "LoopbackPorts.h"
#include "LoopbackServer.h"
#include "LoopbackSocket.h"
#include "TempHome.h"
#include "scan/CommandLineSource.h"
#include "scan/HostScanner.h"

namespace varnholt {
namespace {

using test::LoopbackServer;

enum class Source { CommandLine, PlatformDefault };

void PrintTo(Source source, std::ostream* os) {
    *os << (source == Source::CommandLine ? "lsof and ps" : "platform default");
}

class LiveScan : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }

    QList<HostedPort> scanNow(const HostScanner::ScanOptions& options = {}) {
        if (GetParam() == Source::CommandLine) {
            CommandLineSource source;
            return HostScanner::scan(source, options);
        }
        return HostScanner::scan(options);
    }

    QString folder(const QString& name) {
        const QString path = m_home.scratch() + "/" + name;
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    // Serves directory, named on its command line, from a working directory
    // elsewhere.
    std::unique_ptr<LoopbackServer> pythonServer(quint16 port, const QString& directory) {
        return listening(
            LoopbackServer::start({"/usr/bin/python3", "-m", "http.server", QString::number(port),
                                   "--bind", "127.0.0.1", "--directory", directory},
                                  m_home.scratch(), "127.0.0.1", port));
    }

    std::unique_ptr<LoopbackServer> nodeServer(quint16 port, const QString& host,
                                               const QString& cwd) {
        return listening(LoopbackServer::start(LoopbackServer::nodeCommand(cwd, port, host), cwd,
                                               "127.0.0.1", port));
    }

    static std::unique_ptr<LoopbackServer> listening(std::unique_ptr<LoopbackServer> server) {
        EXPECT_TRUE(server);
        EXPECT_TRUE(server && server->waitUntilListening());
        return server;
    }

    static std::optional<HostedPort> find(const QList<HostedPort>& records, qint32 pid) {
        for (const HostedPort& record : records) {
            if (record.pid == pid) {
                return record;
            }
        }
        return std::nullopt;
    }

    test::TempHome m_home;
};

TEST_P(LiveScan, PythonOnLoopbackIsLocalAndNamedByItsFolder) {
    const quint16 port = test::freeLoopbackPort();
    auto server = pythonServer(port, folder("blog"));
    ASSERT_TRUE(server);

    const auto record = find(scanNow(), server->pid());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->port, port);
    EXPECT_EQ(record->scope, "LOCAL");
    EXPECT_EQ(record->friendlyName, "blog");  // no line end carried over from ps
    EXPECT_TRUE(record->command.startsWith("python")) << record->command.toStdString();
}

TEST_P(LiveScan, NodeOnLoopbackWithoutServerMarkerIsNotListed) {
    const quint16 port = test::freeLoopbackPort();
    auto server = nodeServer(port, "127.0.0.1", folder("api"));
    ASSERT_TRUE(server);
    EXPECT_FALSE(find(scanNow(), server->pid()));
}

TEST_P(LiveScan, EveryListenerOnRequestListsWhatTheWordListLeavesOut) {
    const quint16 port = test::freeLoopbackPort();
    auto node = nodeServer(port, "127.0.0.1", folder("api"));
    ASSERT_TRUE(node);
    test::LoopbackSocket own(SOCK_STREAM);  // this test program: no server word in its name
    ASSERT_TRUE(own.bind() != 0 && own.listen());
    const auto ownPid = static_cast<qint32>(QCoreApplication::applicationPid());

    const auto known = scanNow();
    EXPECT_FALSE(find(known, node->pid()));
    EXPECT_FALSE(find(known, ownPid));

    const auto every = scanNow({true});
    const auto nodeRecord = find(every, node->pid());
    ASSERT_TRUE(nodeRecord);
    EXPECT_EQ(nodeRecord->scope, "LOCAL");
    EXPECT_EQ(nodeRecord->friendlyName, "api");
    const auto ownRecord = find(every, ownPid);
    ASSERT_TRUE(ownRecord);
    EXPECT_EQ(ownRecord->port, own.port());
    EXPECT_EQ(ownRecord->friendlyName, ownRecord->command);
    EXPECT_EQ(ownRecord->kind, HostedPort::Kind::Process);
}

TEST_P(LiveScan, NodeOnAllInterfacesIsNetAndNamedByItsWorkingDirectory) {
    const quint16 port = test::freeLoopbackPort();
    auto server = nodeServer(port, "0.0.0.0", folder("shop"));
    ASSERT_TRUE(server);

    const auto record = find(scanNow(), server->pid());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->port, port);
    EXPECT_EQ(record->scope, "NET");
    EXPECT_EQ(record->friendlyName, "shop");
    EXPECT_EQ(record->command, "node");
}

TEST_P(LiveScan, RecordsComeSortedByPort) {
    quint16 low = test::freeLoopbackPort();
    quint16 high = test::freeLoopbackPort();
    if (low > high) {
        std::swap(low, high);
    }
    ASSERT_NE(low, high);
    // Started high first, so listing order alone would not sort them.
    auto first = pythonServer(high, folder("second"));
    auto second = pythonServer(low, folder("first"));
    ASSERT_TRUE(first && second);

    const auto records = scanNow();
    EXPECT_TRUE(std::is_sorted(records.begin(), records.end(),
                               [](const auto& a, const auto& b) { return a.port < b.port; }));
    QStringList ours;
    for (const HostedPort& record : records) {
        if (record.pid == first->pid() || record.pid == second->pid()) {
            ours.append(record.friendlyName);
        }
    }
    EXPECT_EQ(ours, (QStringList{"first", "second"}));
}

INSTANTIATE_TEST_SUITE_P(Sources, LiveScan,
                         ::testing::Values(Source::CommandLine, Source::PlatformDefault),
                         [](const auto& info) {
                             return info.param == Source::CommandLine ? "CommandLine"
                                                                      : "PlatformDefault";
                         });

}  // namespace
}  // namespace varnholt
