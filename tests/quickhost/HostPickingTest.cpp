#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "Files.h"
#include "LoopbackHttp.h"
#include "LoopbackPorts.h"
#include "Processes.h"
#include "ServeRun.h"
#include "TempHome.h"
#include "exec/Tools.h"
#include "quickhost/HostPicking.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"
#include "scan/HostScanner.h"

namespace varnholt {
namespace {

using HostPicking::packageDirFromOutput;
using test::writeFile;

TEST(PackageDirFromOutput, ReadsOnlyTheLastLineBeginningWithABrace) {
    const struct {
        const char* name;
        const char* output;
        std::optional<QString> expected;
    } cases[] = {
        {"plain", "{\"packageDir\":\"/d/V/A\"}\n", "/d/V/A"},
        {"progress before", "Packaging /x\nPackaged A\n{\"packageDir\":\"/d/V/A\"}\n", "/d/V/A"},
        {"progress after", "{\"packageDir\":\"/d/V/A\"}\nDone.\n\n", "/d/V/A"},
        {"last one lacks packageDir", "{\"packageDir\":\"/d/V/A\"}\n{\"ok\":true}\n", std::nullopt},
        {"last one wins", "{\"packageDir\":\"/old\"}\n{\"packageDir\":\"/new\"}", "/new"},
        {"leading spaces are no candidate", "  {\"packageDir\":\"/d/V/A\"}\n", std::nullopt},
        {"indented line after a good one", "{\"packageDir\":\"/d/V/A\"}\n  {\"x\":1}\n", "/d/V/A"},
        {"number", "{\"packageDir\":42}\n", std::nullopt},
        {"null", "{\"packageDir\":null}\n", std::nullopt},
        {"invalid JSON", "{\"packageDir\":\"/d/V/A\"\n", std::nullopt},
        {"trailing text", "{\"packageDir\":\"/d/V/A\"} done\n", std::nullopt},
        {"invalid last, valid earlier", "{\"packageDir\":\"/d/V/A\"}\n{oops\n", std::nullopt},
        {"array line is no candidate", "[\"/d\"]\n", std::nullopt},
        {"no brace line", "Packaging failed\n", std::nullopt},
        {"empty", "", std::nullopt},
        {"Windows line ends", "Packaged\r\n{\"packageDir\":\"/d/V/A\"}\r\n", "/d/V/A"},
        {"escapes", "{\"packageDir\":\"/d/V/\\u00c9t\\u00e9 \\\"x\\\"\"}", "/d/V/Été \"x\""},
        {"empty string", "{\"packageDir\":\"\"}", QString("")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(packageDirFromOutput(QString::fromUtf8(c.output)), c.expected) << c.name;
    }
}

// The answer names a package only when the file system agrees.
TEST(PackageInFolder, AcceptsOnlyExistingDirectChildrenLinksResolved) {
    test::TempHome home;
    const QString folder = home.scratch() + "/Varnholt";
    writeFile(folder + "/Site/index.html", "x");
    writeFile(folder + "/Site/deeper/a.txt", "a");
    writeFile(folder + "/notes.txt", "n");
    writeFile(home.scratch() + "/secrets/key", "k");
    ASSERT_TRUE(QFile::link(home.scratch() + "/secrets", folder + "/LinkOut"));
    ASSERT_TRUE(QFile::link(folder + "/Site", folder + "/LinkIn"));
    const struct {
        QString answer;
        std::optional<QString> expected;
    } cases[] = {
        {folder + "/Site", folder + "/Site"},
        {folder + "/Site/../Site", folder + "/Site"},
        {folder + "/LinkIn", folder + "/Site"},
        {folder + "/Site/deeper", std::nullopt},
        {folder, std::nullopt},
        {home.scratch() + "/secrets", std::nullopt},
        {folder + "/LinkOut", std::nullopt},
        {folder + "/notes.txt", std::nullopt},
        {folder + "/Missing", std::nullopt},
        {"Varnholt/Site", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostPicking::packageInFolder(c.answer, folder), c.expected)
            << c.answer.toStdString();
    }
    EXPECT_EQ(HostPicking::packageInFolder(folder + "/Site", home.scratch() + "/missing"),
              std::nullopt);
}

TEST(OutcomeOfRun, TakesAPackageOnlyFromACleanExitAndElseSaysWhy) {
    test::TempHome home;
    const QString folder = home.scratch() + "/Varnholt";
    QDir().mkpath(folder + "/Pkg");
    const QByteArray good = "{\"packageDir\":\"" + QFile::encodeName(folder) + "/Pkg\"}\n";
    const struct {
        const char* name;
        CommandResult run;
        std::optional<QString> dir;
        QString failure;
    } cases[] = {
        {"clean", {true, 0, good, "Packaging x\n"}, folder + "/Pkg", ""},
        {"not run",
         {false, -1, good, ""},
         std::nullopt,
         "Node could not run the companion script."},
        {"failed with the answer anyway",
         {true, 1, good, "Left out a\nCan't package x: no.\n\n"},
         std::nullopt,
         "Can't package x: no."},
        {"failed silently", {true, 3, "", ""}, std::nullopt, "host.mjs failed (exit status 3)."},
        {"killed", {true, -1, "", ""}, std::nullopt, "host.mjs failed (exit status -1)."},
        {"no answer", {true, 0, "done\n", ""}, std::nullopt, "host.mjs didn't return a package."},
        {"answer outside",
         {true, 0, "{\"packageDir\":\"/tmp\"}\n", ""},
         std::nullopt,
         "host.mjs named a folder that is not a package in " + folder + "."},
    };
    for (const auto& c : cases) {
        const HostPicking::PickOutcome outcome = HostPicking::outcomeOfRun(c.run, folder);
        EXPECT_EQ(outcome.packageDir, c.dir) << c.name;
        EXPECT_EQ(outcome.failure, c.failure) << c.name;
    }
}

QString nodeExecutable() {
    for (const QString& candidate : tools().nodeCandidates) {
        if (QFileInfo(candidate).isExecutable()) {
            return candidate;
        }
    }
    return "/usr/bin/node";
}

const QString kHostMjs = QStringLiteral(VARNHOLT_SOURCE_DIR "/companion/host.mjs");

class PackagePickTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (qint32 pid : m_pids) {
            test::endProcess(pid);
        }
    }

    test::TempHome m_home;
    std::vector<qint32> m_pids;
};

TEST_F(PackagePickTest, PickedFolderEndsUpServed) {
    const QString pick = m_home.scratch() + "/Holiday Pics";
    writeFile(pick + "/index.html", "<h1>Holiday</h1>");
    writeFile(pick + "/beach.jpg", "jpeg");

    const auto dir = HostPicking::packagePick(nodeExecutable(), kHostMjs, pick,
                                              PackageDiscovery::packagesFolder())
                         .packageDir;
    ASSERT_TRUE(dir.has_value());
    EXPECT_EQ(*dir, PackageDiscovery::packagesFolder() + "/Holiday Pics");
    EXPECT_EQ(*dir, m_home.desktop() + "/Varnholt/Holiday Pics");

    const auto first = test::freePortBlock(41000, 48999, 2);
    ASSERT_TRUE(first.has_value());
    QuickHostRegistry reg(m_home.scratch() + "/quick", *first, *first + 1, test::serveProgram());
    const auto entry = reg.start(*dir);
    ASSERT_TRUE(entry.has_value());
    m_pids.push_back(entry->pid);
    EXPECT_EQ(test::httpGet(entry->port, "/")->body, "<h1>Holiday</h1>");
    EXPECT_EQ(test::httpGet(entry->port, "/beach.jpg")->body, "jpeg");
    EXPECT_EQ(test::httpGet(entry->port, "/HOW%20TO%20SHARE.txt")->status, 404);
}

// Files named like the entries a served copy leaves out still download.
TEST_F(PackagePickTest, AFileNamedLikeAnExcludedEntryStillDownloads) {
    const auto first = test::freePortBlock(41000, 48999, 2);
    ASSERT_TRUE(first.has_value());
    QuickHostRegistry reg(m_home.scratch() + "/quick", *first, *first + 1, test::serveProgram());
    for (const QString name : {"HOW TO SHARE.txt", "Varnholt.command"}) {
        const QString pick = m_home.scratch() + "/" + name;
        writeFile(pick, "mine: " + name.toUtf8());
        const auto dir = HostPicking::packagePick(nodeExecutable(), kHostMjs, pick,
                                                  PackageDiscovery::packagesFolder())
                             .packageDir;
        ASSERT_TRUE(dir.has_value());
        const auto entry = reg.start(*dir);
        ASSERT_TRUE(entry.has_value()) << reg.lastFailure().toStdString();
        m_pids.push_back(entry->pid);
        const QByteArray page = test::httpGet(entry->port, "/")->body;
        const qsizetype at = page.indexOf("href=\"") + 6;
        const QByteArray href = page.mid(at, page.indexOf('"', at) - at);
        EXPECT_EQ(test::httpGet(entry->port, "/" + href)->body, "mine: " + name.toUtf8())
            << href.constData();
        EXPECT_TRUE(page.contains("download=\"" + name.toUtf8() + "\""));
        reg.stop(*dir);
    }
}

// The script finds the desktop on its own; it must land where the app lists
// packages, also when user-dirs.dirs moves the desktop.
TEST_F(PackagePickTest, PackageLandsInTheFolderTheAppLists) {
    writeFile(m_home.configDir() + "/user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Bureau/\"\n");
    const QString pick = m_home.scratch() + "/note.txt";
    writeFile(pick, "hello");
    const auto dir = HostPicking::packagePick(nodeExecutable(), kHostMjs, pick,
                                              PackageDiscovery::packagesFolder())
                         .packageDir;
    ASSERT_TRUE(dir.has_value());
    EXPECT_EQ(*dir, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
                        "/Varnholt/note.txt");
    EXPECT_EQ(*dir, m_home.path() + "/Bureau/Varnholt/note.txt");
    EXPECT_EQ(*dir, PackageDiscovery::packagesFolder() + "/note.txt");
    const auto packages = PackageDiscovery::allPackages();
    ASSERT_EQ(packages.size(), 1);
    EXPECT_EQ(packages.front().path, *dir);
}

TEST_F(PackagePickTest, FailuresGiveNoPackageAndNameTheirCause) {
    const QString folder = PackageDiscovery::packagesFolder();
    const QString missing = m_home.scratch() + "/missing";
    const QString badName = m_home.scratch() + "/bad-\uFFFD";  // as a lossy listing gives it
    const struct {
        QString node;
        QString script;
        QString pick;
        QString failure;
    } cases[] = {
        {nodeExecutable(), kHostMjs, missing, missing + " no longer exists."},
        {"/nonexistent/node", kHostMjs, m_home.scratch(),
         "Node was not found. Install Node 18 or later and try again."},
        {"node", kHostMjs, m_home.scratch(),
         "Node was not found. Install Node 18 or later and try again."},
        {nodeExecutable(), m_home.scratch() + "/no-host.mjs", m_home.scratch(),
         "The companion script is missing at " + m_home.scratch() + "/no-host.mjs."},
        {nodeExecutable(), kHostMjs, badName,
         "The name \u201Cbad-\uFFFD\u201D is not valid UTF-8, so it can't be hosted. "
         "Rename it and try again."},
    };
    for (const auto& c : cases) {
        const auto outcome = HostPicking::packagePick(c.node, c.script, c.pick, folder);
        EXPECT_FALSE(outcome.packageDir) << c.failure.toStdString();
        EXPECT_EQ(outcome.failure, c.failure);
    }
    EXPECT_FALSE(QFileInfo::exists(folder + "/missing"));
}

// A name made to look like an answer, picked twice so the second packaging
// fails: the app hears the script's own error, and nothing is served.
TEST_F(PackagePickTest, ACraftedNameNeverServesAnotherFolder) {
    const QString secrets = m_home.scratch() + "/secrets";
    writeFile(secrets + "/key.txt", "secret");
    const QString forged =
        "\n{\"packageDir\":\"" + QString(secrets).replace("/", "\\u002f") + "\"}\n";
    const QString name = QString(255 - forged.toUtf8().size(), 'A') + forged;
    const QString pick = m_home.scratch() + "/" + name;
    writeFile(pick, "x");
    const QString folder = PackageDiscovery::packagesFolder();

    const auto first = HostPicking::packagePick(nodeExecutable(), kHostMjs, pick, folder);
    EXPECT_EQ(first.packageDir, folder + "/" + name);
    const auto second = HostPicking::packagePick(nodeExecutable(), kHostMjs, pick, folder);
    EXPECT_FALSE(second.packageDir);
    EXPECT_TRUE(second.failure.startsWith("Can't create the package folder"))
        << second.failure.toStdString();
    EXPECT_TRUE(second.failure.contains("\\u000a{\"packageDir\"")) << second.failure.toStdString();
}

}  // namespace
}  // namespace varnholt
