// Container rows: recorded docker ps / podman ps output, their merge into
// the scan, and the probe over fake engines on PATH.
#include <gtest/gtest.h>

#include "EventLoop.h"
#include "FakeCommands.h"
#include "Files.h"
#include "scan/ContainerProbe.h"
#include "scan/HostScanner.h"

namespace varnholt {

namespace ContainerListing {
void PrintTo(const PublishedPort& p, std::ostream* os) {
    *os << "{" << p.engine.toStdString() << " " << p.id.toStdString() << " " << p.name.toStdString()
        << " " << p.image.toStdString() << " " << p.hostIp.toStdString() << ":" << p.hostPort
        << "}";
}
}  // namespace ContainerListing

namespace {

using namespace std::chrono_literals;
using ContainerListing::PublishedPort;

QByteArray recorded(const char* name) {
    return test::readFile(QStringLiteral(VARNHOLT_SOURCE_DIR) +
                          "/tests/fuzz/corpus/fuzz_containers/" + name);
}

const QString kPodmanWeb = "9b1f2a7c44de0d5a3e6b8f1c2d3e4f5a6b7c8d9e0f1a2b3c4d5e6f7a8b9c0d1e";

TEST(ContainerListing, RecordedOutputOfBothEngines) {
    const QList<PublishedPort> docker = {
        {"docker", "3f4e8a1b2c9d", "web", "nginx:1.27", "0.0.0.0", 8080},
        {"docker", "3f4e8a1b2c9d", "web", "nginx:1.27", "[::]", 8080},
        {"docker", "a81c0d2e7f11", "db", "postgres:16", "127.0.0.1", 5432},
        // A range publishes each of its ports; udp and unpublished ports none.
        {"docker", "0d15ea5e0001", "admin", "ghcr.io/acme/dns-admin:2", "0.0.0.0", 9000},
        {"docker", "0d15ea5e0001", "admin", "ghcr.io/acme/dns-admin:2", "0.0.0.0", 9001},
    };
    EXPECT_EQ(ContainerListing::parseDocker(recorded("docker-ps")), docker);
    const QList<PublishedPort> podman = {
        {"podman", kPodmanWeb, "web2", "docker.io/library/nginx:1.27", "", 8081},
        {"podman", "e3a94c2b7d1f", "api", "localhost/api:dev", "127.0.0.1", 3001},
        {"podman", "e3a94c2b7d1f", "api", "localhost/api:dev", "127.0.0.1", 3002},
    };
    EXPECT_EQ(ContainerListing::parsePodman(recorded("podman-ps")), podman);
    EXPECT_TRUE(ContainerListing::parsePodman(recorded("podman-none")).isEmpty());
    EXPECT_EQ(ContainerListing::displayName(podman[0]), "web2 (nginx:1.27)");

    // Anyone's bytes: nothing without an id, no port outside 1...65535, and
    // a huge range cut to a screenful.
    const QByteArray odd =
        "{\"Names\":\"noid\",\"Ports\":\"0.0.0.0:80->80/tcp\"}\nnot json\n"
        "{\"ID\":\"x1\",\"Ports\":\"0.0.0.0:0->80/tcp, :70000->1/tcp, :-5->1/tcp, "
        "0.0.0.0:1000-60000->1000-60000/tcp, :9-8->1/tcp\"}\n";
    const auto parsed = ContainerListing::parseDocker(odd);
    ASSERT_EQ(parsed.size(), ContainerListing::kMaxRange);
    EXPECT_EQ(parsed.front().hostPort, 1000);
    EXPECT_EQ(ContainerListing::displayName(parsed.front()), "x1");
    EXPECT_TRUE(ContainerListing::parsePodman(
                    "[{\"Id\":\"y\",\"Ports\":[{\"host_port\":1e9},{\"host_port\":-1},"
                    "{\"host_port\":65535,\"range\":9}]}]")
                    .size() == 1);
}

TEST(ContainerListing, PublishedPortsReplaceWhatTheSocketTableShowed) {
    HostedPort forwarder{0, "docker-proxy", 8080, "NET", "container"};
    forwarder.kind = HostedPort::Kind::Container;
    HostedPort hidden{0, "", 5432, "LOCAL", "another user's program (root)"};
    hidden.kind = HostedPort::Kind::OtherUser;
    HostedPort rootless{57, "rootlessport", 7000, "NET", "container"};
    rootless.kind = HostedPort::Kind::Container;  // its engine does not answer
    const HostedPort ownNode{12, "node", 5432, "NET", "api"};
    const auto rows =
        HostScanner::withContainers({ownNode, forwarder, hidden, rootless},
                                    ContainerListing::parseDocker(recorded("docker-ps")) +
                                        ContainerListing::parsePodman(recorded("podman-ps")));
    const QByteArray podmanId = kPodmanWeb.toLatin1();
    const struct {
        qint64 port;
        const char* name;
        const char* scope;
        const char* id;
    } expected[] = {
        {3001, "api (localhost/api:dev)", "LOCAL", "e3a94c2b7d1f"},
        {3002, "api (localhost/api:dev)", "LOCAL", "e3a94c2b7d1f"},
        {5432, "api", "NET", ""},  // a process of ours on the same port stays
        {5432, "db (postgres:16)", "LOCAL", "a81c0d2e7f11"},
        {7000, "container", "NET", ""},
        {8080, "web (nginx:1.27)", "NET", "3f4e8a1b2c9d"},  // IPv4 and IPv6: one row
        {8081, "web2 (nginx:1.27)", "NET", podmanId.constData()},
        {9000, "admin (ghcr.io/acme/dns-admin:2)", "NET", "0d15ea5e0001"},
        {9001, "admin (ghcr.io/acme/dns-admin:2)", "NET", "0d15ea5e0001"},
    };
    ASSERT_EQ(rows.size(), std::size(expected));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(rows[i].port, expected[i].port);
        EXPECT_EQ(rows[i].friendlyName, expected[i].name);
        EXPECT_EQ(rows[i].scope, expected[i].scope);
        EXPECT_EQ(rows[i].containerId, expected[i].id);
        if (rows[i].kind == HostedPort::Kind::Container) {
            EXPECT_EQ(rows[i].pid, rows[i].port == 7000 ? 57 : 0);
        }
    }
}

TEST(ContainerProbe, AnswersOneRefreshLateAndNeverWaitsForAHangingEngine) {
    test::FakeCommands engines;
    {
        ContainerProbe probe(300ms);
        EXPECT_TRUE(probe.poll().isEmpty());  // no engine installed
        EXPECT_FALSE(probe.waiting());        // and nothing was run
    }

    engines.printing("docker", recorded("docker-ps"));
    engines.hanging("podman");
    ContainerProbe probe(300ms);
    EXPECT_TRUE(probe.poll().isEmpty());  // the first answer is not in yet
    EXPECT_TRUE(probe.waiting());
    // The hanging engine is stopped at its time limit, docker's answer kept.
    ASSERT_TRUE(test::waitUntil([&] { return !probe.waiting(); }, 10s));
    const auto ports = probe.poll();
    EXPECT_EQ(ports.size(), 5);
    EXPECT_TRUE(probe.waiting());       // asked again for next time
    EXPECT_EQ(probe.poll().size(), 5);  // still out: not asked twice

    // An engine that stops answering takes its containers off the list.
    engines.printing("docker", "", 1);
    ASSERT_TRUE(test::waitUntil([&] { return !probe.waiting(); }, 10s));
    probe.poll();
    ASSERT_TRUE(test::waitUntil([&] { return !probe.waiting(); }, 10s));
    EXPECT_TRUE(probe.poll().isEmpty());
}

TEST(ContainerProbe, StopAsksTheEngineForThatContainerOnly) {
    test::FakeCommands engines;
    engines.recording("docker");
    EXPECT_TRUE(ContainerProbe::stop("docker", "3f4e8a1b2c9d"));
    EXPECT_TRUE(test::waitUntil([&] { return !engines.calls("docker").isEmpty(); }));
    EXPECT_EQ(engines.calls("docker"), "stop 3f4e8a1b2c9d\n");
    EXPECT_FALSE(ContainerProbe::stop("podman", "3f4e8a1b2c9d"));  // not installed
    EXPECT_FALSE(ContainerProbe::stop("docker", "--time=0"));      // not an id
    EXPECT_FALSE(ContainerProbe::stop("sh", "x"));
}

}  // namespace
}  // namespace varnholt
