// The refresh with container engines (fakes on PATH: none can run here) and
// with every listener listed.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "FakeCommands.h"
#include "LoopbackSocket.h"
#include "PanelFixture.h"
#include "store/Store.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

class ContainerRowsTest : public test::PanelFixture {};

std::optional<HostedPort> onPort(const PanelData& data, qint64 port) {
    for (const HostedPort& server : data.servers) {
        if (server.port == port) {
            return server;
        }
    }
    return std::nullopt;
}

TEST_F(ContainerRowsTest, EnginesAnswerBesideTheRefreshAndStopGoesToTheEngine) {
    test::FakeCommands engines;
    engines.printing("docker", test::readFile(QStringLiteral(VARNHOLT_SOURCE_DIR) +
                                              "/tests/fuzz/corpus/fuzz_containers/docker-ps"));
    engines.hanging("podman");  // never answers: the refresh goes on without it
    build();
    EXPECT_FALSE(onPort(delegate->gather(), 8080));  // asked now, shown next time
    std::optional<HostedPort> web;
    ASSERT_TRUE(
        test::waitUntil([&] { return (web = onPort(delegate->gather(), 8080)).has_value(); }, 10s));
    EXPECT_EQ(web->friendlyName, "web (nginx:1.27)");
    EXPECT_EQ(web->scope, "NET");
    const auto db = onPort(delegate->gather(), 5432);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->scope, "LOCAL");

    engines.recording("docker");
    delegate->stopServer(*web);
    // The refresh that follows may ask for the listing again; one stop, of
    // that container, is what matters.
    const auto stops = [&] {
        QStringList found;
        for (const QString& call : QString(engines.calls("docker")).split('\n')) {
            if (call.startsWith("stop")) {
                found << call;
            }
        }
        return found;
    };
    ASSERT_TRUE(test::waitUntil([&] { return !stops().isEmpty(); }));
    EXPECT_EQ(stops(), QStringList{"stop 3f4e8a1b2c9d"});
    ASSERT_FALSE(Store::recent().isEmpty());
    EXPECT_EQ(Store::recent().front().title, "web (nginx:1.27)");
}

TEST_F(ContainerRowsTest, ShowEveryListeningProgramListsWhatTheWordListLeavesOut) {
    test::LoopbackSocket own(SOCK_STREAM);  // this test program: no server word in its name
    ASSERT_TRUE(own.bind() != 0 && own.listen());
    const auto ownPid = static_cast<qint32>(QCoreApplication::applicationPid());
    build();
    const auto listed = [&] {
        const auto found = onPort(delegate->gather(), own.port());
        return found && found->pid == ownPid;
    };
    EXPECT_FALSE(listed());
    Store::setShowEveryListener(true);
    EXPECT_TRUE(listed());
    Store::setShowEveryListener(false);
    EXPECT_FALSE(listed());
}

}  // namespace
}  // namespace varnholt
