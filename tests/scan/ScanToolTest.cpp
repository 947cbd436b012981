// The varnholt-scan program, run as a user would run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>

#include "LoopbackPorts.h"
#include "LoopbackServer.h"
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
