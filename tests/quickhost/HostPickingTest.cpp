#include <gtest/gtest.h>

#include <QFileInfo>
#include <QStandardPaths>

#include "Files.h"
#include "LoopbackHttp.h"
#include "LoopbackPorts.h"
#include "Processes.h"
#include "TempHome.h"
#include "exec/Tools.h"
#include "quickhost/HostPicking.h"
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

    const auto dir = HostPicking::packagePick(nodeExecutable(), kHostMjs, pick);
    ASSERT_TRUE(dir.has_value());
    EXPECT_EQ(*dir, HostScanner::packagesFolder() + "/Holiday Pics");
    EXPECT_EQ(*dir, m_home.desktop() + "/Varnholt/Holiday Pics");

    const auto first = test::freePortBlock(41000, 48999, 2);
    ASSERT_TRUE(first.has_value());
    QuickHostRegistry reg(m_home.scratch() + "/quick", *first, *first + 1);
    const auto entry = reg.start(*dir, kHostMjs);
    ASSERT_TRUE(entry.has_value());
    m_pids.push_back(entry->pid);
    EXPECT_EQ(test::httpGet(entry->port, "/")->body, "<h1>Holiday</h1>");
    EXPECT_EQ(test::httpGet(entry->port, "/beach.jpg")->body, "jpeg");
    EXPECT_EQ(test::httpGet(entry->port, "/HOW%20TO%20SHARE.txt")->status, 404);
}

// The script finds the desktop on its own; it must land where the app lists
// packages, also when user-dirs.dirs moves the desktop.
TEST_F(PackagePickTest, PackageLandsInTheFolderTheAppLists) {
    writeFile(m_home.configDir() + "/user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Bureau/\"\n");
    const QString pick = m_home.scratch() + "/note.txt";
    writeFile(pick, "hello");
    const auto dir = HostPicking::packagePick(nodeExecutable(), kHostMjs, pick);
    ASSERT_TRUE(dir.has_value());
    EXPECT_EQ(*dir, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
                        "/Varnholt/note.txt");
    EXPECT_EQ(*dir, m_home.path() + "/Bureau/Varnholt/note.txt");
    EXPECT_EQ(*dir, HostScanner::packagesFolder() + "/note.txt");
    const auto packages = HostScanner::allPackages();
    ASSERT_EQ(packages.size(), 1);
    EXPECT_EQ(packages.front().path, *dir);
}

TEST_F(PackagePickTest, FailuresGiveNoPackage) {
    EXPECT_FALSE(
        HostPicking::packagePick(nodeExecutable(), kHostMjs, m_home.scratch() + "/missing"));
    EXPECT_FALSE(HostPicking::packagePick("/nonexistent/node", kHostMjs, m_home.scratch()));
    EXPECT_FALSE(HostPicking::packagePick(nodeExecutable(), m_home.scratch() + "/no-host.mjs",
                                          m_home.scratch()));
    EXPECT_FALSE(QFileInfo::exists(m_home.desktop() + "/Varnholt/missing"));
}

}  // namespace
}  // namespace varnholt
