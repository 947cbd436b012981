// The varnholt-scan program, run as a user would run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <unistd.h>

#include <algorithm>

#include "LoopbackPorts.h"
#include "LoopbackServer.h"
#include "LoopbackSocket.h"
#include "TempHome.h"

namespace varnholt {
namespace {

struct ToolRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QStringList& arguments) {
    QProcess tool;
    tool.start(VARNHOLT_SCAN_TOOL, arguments);
    ToolRun run;
    if (!tool.waitForFinished(30'000) || tool.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.status = tool.exitCode();
    run.out = tool.readAllStandardOutput();
    run.err = tool.readAllStandardError();
    return run;
}

std::optional<QJsonObject> onPort(const QByteArray& json, quint16 port) {
    for (const QJsonValue& value : QJsonDocument::fromJson(json)["servers"].toArray()) {
        if (value["port"].toInt() == port) {
            return value.toObject();
        }
    }
    return std::nullopt;
}

TEST(ScanTool, RootsListenersAsAnotherUserSeesThem) {
    const QString setpriv = "/usr/bin/setpriv";
    if (::geteuid() != 0 || !QFileInfo::exists(setpriv)) {
        GTEST_SKIP() << "needs root, to own listeners another user cannot look into";
    }
    test::TempHome home;
    // A docker-proxy look-alike: its name and -host-port are what anyone
    // may read of root's proxy; its descriptors are not.
    const QString proxy = home.scratch() + "/docker-proxy";
    ASSERT_TRUE(QDir().mkpath(home.scratch()));
    ASSERT_TRUE(QFile::link("/usr/bin/python3", proxy));
    const quint16 proxyPort = test::freeLoopbackPort();
    auto forwarder = test::LoopbackServer::start(
        {proxy, "-c",
         "import socket, sys, time\n"
         "s = socket.socket(); s.bind(('127.0.0.1', int(sys.argv[2]))); s.listen()\n"
         "time.sleep(600)\n",
         "-host-port", QString::number(proxyPort)},
        home.scratch(), "127.0.0.1", proxyPort);
    ASSERT_TRUE(forwarder && forwarder->waitUntilListening());
    test::LoopbackSocket daemon(SOCK_STREAM);  // root's, named nothing of a server
    ASSERT_TRUE(daemon.bind() != 0 && daemon.listen());

    const auto asNobody = [&](const QStringList& arguments) {
        QProcess tool;
        tool.start(setpriv, QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                        VARNHOLT_SCAN_TOOL} +
                                arguments);
        EXPECT_TRUE(tool.waitForFinished(30'000));
        EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
        return tool.readAllStandardOutput();
    };
    const QByteArray known = asNobody({"--json"});
    const auto container = onPort(known, proxyPort);
    ASSERT_TRUE(container) << known.toStdString();
    EXPECT_EQ((*container)["friendlyName"].toString(), "container");
    EXPECT_EQ((*container)["pid"].toInt(), 0);  // root's proxy is never ours to signal
    EXPECT_EQ((*container)["scope"].toString(), "LOCAL");
    EXPECT_FALSE(onPort(known, daemon.port()));

    const auto other = onPort(asNobody({"--json", "--every"}), daemon.port());
    ASSERT_TRUE(other);
    EXPECT_EQ((*other)["friendlyName"].toString(), "another user's program (root)");
    EXPECT_EQ((*other)["pid"].toInt(), 0);
}

TEST(ScanTool, JsonListsALoopbackServer) {
    test::TempHome home;
    const QString blog = home.scratch() + "/blog";
    ASSERT_TRUE(QDir().mkpath(blog));
    const quint16 port = test::freeLoopbackPort();
    auto server =
        test::LoopbackServer::start({"/usr/bin/python3", "-m", "http.server", QString::number(port),
                                     "--bind", "127.0.0.1", "--directory", blog},
                                    home.scratch(), "127.0.0.1", port);
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitUntilListening());

    const ToolRun run = runTool({"--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    const QJsonObject root = doc.object();
    EXPECT_TRUE(root.value("ssid").isString());
    EXPECT_FALSE(root.value("address").toString().isEmpty());

    std::optional<QJsonObject> ours;
    for (const QJsonValue& value : root.value("servers").toArray()) {
        if (value.toObject().value("pid").toInt() == server->pid()) {
            ours = value.toObject();
        }
    }
    ASSERT_TRUE(ours) << run.out.toStdString();
    EXPECT_EQ(ours->value("port").toInteger(), port);
    EXPECT_EQ(ours->value("scope").toString(), "LOCAL");
    EXPECT_EQ(ours->value("friendlyName").toString(), "blog");
    EXPECT_TRUE(ours->value("command").toString().startsWith("python"));
}

TEST(ScanTool, AControlCharacterNameIsEscapedInTheTableAndExactInTheJson) {
    test::TempHome home;
    // Named by its working folder: the name reaches the tool unaltered.
    const QString name = QStringLiteral("evil\n\x1b[31mred");
    const QString folder = home.scratch() + "/" + name;
    ASSERT_TRUE(QDir().mkpath(folder));
    const quint16 port = test::freeLoopbackPort();
    auto server = test::LoopbackServer::start(
        {"/usr/bin/python3", "-m", "http.server", QString::number(port), "--bind", "127.0.0.1"},
        folder, "127.0.0.1", port);
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->waitUntilListening());

    const ToolRun table = runTool({});
    ASSERT_EQ(table.status, 0);
    EXPECT_FALSE(table.out.contains('\x1b'));
    const QString pid = QString::number(server->pid());
    const QStringList lines = QString::fromUtf8(table.out).split('\n');
    const auto ours = std::find_if(lines.cbegin(), lines.cend(), [&](const QString& line) {
        return line.contains(" " + pid + "  ");
    });
    ASSERT_NE(ours, lines.cend()) << table.out.toStdString();
    EXPECT_TRUE(ours->contains("evil\\n\\x1b[31mred")) << ours->toStdString();

    const ToolRun json = runTool({"--json"});
    ASSERT_EQ(json.status, 0);
    QStringList names;
    for (const QJsonValue& value :
         QJsonDocument::fromJson(json.out).object().value("servers").toArray()) {
        if (value.toObject().value("pid").toInt() == server->pid()) {
            names << value.toObject().value("friendlyName").toString();
        }
    }
    EXPECT_EQ(names, QStringList{name});
}

TEST(ScanTool, TableShowsTheNetworkLineFirst) {
    const ToolRun run = runTool({});
    ASSERT_EQ(run.status, 0);
    const QString first = QString::fromUtf8(run.out).section('\n', 0, 0);
    EXPECT_TRUE(first.startsWith("Wi-Fi: ") || first.contains(" · ")) << first.toStdString();
}

TEST(ScanTool, HelpAndUnknownOptions) {
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--json"));

    const ToolRun unknown = runTool({"--bogus"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.isEmpty());
    EXPECT_TRUE(unknown.err.contains("bogus")) << unknown.err.toStdString();

    const ToolRun stray = runTool({"extra"});
    EXPECT_EQ(stray.status, 2);
}

}  // namespace
}  // namespace varnholt
