#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <optional>

#include "EventLoop.h"
#include "Files.h"
#include "TempHome.h"
#include "exec/Tools.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/PickJob.h"
#include "quickhost/PickLine.h"

namespace varnholt {
namespace {

TEST(PickLineTest, ReadsTheFolderBeingMadeAndProgressAndNothingElse) {
    const auto progress = [](qint64 f, qint64 ft, qint64 b, qint64 bt) {
        PickLine line;
        line.kind = PickLine::Kind::Progress;
        line.files = f;
        line.filesTotal = ft;
        line.bytes = b;
        line.bytesTotal = bt;
        return line;
    };
    PickLine making;
    making.kind = PickLine::Kind::Making;
    making.packageDir = "/d/Varnholt/A\n{\"packageDir\":1}";
    const struct {
        QByteArray text;
        PickLine expected;
    } cases[] = {
        {"progress 12 200 390000000 1000000000", progress(12, 200, 390000000, 1000000000)},
        {"progress 0 0 0 0\r", progress(0, 0, 0, 0)},
        {R"(making "/d/Varnholt/A\n{\"packageDir\":1}")", making},
        {"progress 3 2 0 0", {}},  // past its total
        {"progress 1 2 3", {}},
        {"progress 1 2 3 4 5", {}},
        {"progress -1 2 3 4", {}},
        {"progress 1 2 3 99999999999999999999", {}},
        {"progress  1 2 3 4", {}},
        {"making /d/Varnholt/A", {}},
        {"making \"\"", {}},
        {"making \"/a\" \"/b\"", {}},
        {"{\"packageDir\":\"/d/Varnholt/A\"}", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parsePickLine(c.text), c.expected) << c.text.toStdString();
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

class PickJobTest : public ::testing::Test {
protected:
    // Runs a job to its end; the outcome, or nothing if it never ended.
    std::optional<HostPicking::PickOutcome> run(PickJob& job,
                                                const std::function<void()>& onProgress = {}) {
        std::optional<HostPicking::PickOutcome> outcome;
        QObject::connect(&job, &PickJob::finished,
                         [&](const HostPicking::PickOutcome& o) { outcome = o; });
        if (onProgress) {
            QObject::connect(&job, &PickJob::progressed, onProgress);
        }
        job.start();
        test::waitUntil([&] { return outcome.has_value(); }, std::chrono::seconds(60));
        return outcome;
    }

    QStringList packages() const {
        return QDir(PackageDiscovery::packagesFolder())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    test::TempHome m_home;
};

TEST_F(PickJobTest, CancelMidwayStopsTheCopyAndLeavesNoPackage) {
    const QString pick = m_home.scratch() + "/Film";
    QDir().mkpath(pick);
    QFile big(pick + "/film.mkv");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(256) << 20));  // sparse: costs no disk to make
    big.close();
    PickJob job(pick, QStringLiteral(VARNHOLT_SOURCE_DIR "/companion/host.mjs"),
                PackageDiscovery::packagesFolder(), nodeExecutable);
    bool sawFolder = false;
    const auto outcome = run(job, [&] {
        if (!job.packageDir().isEmpty()) {
            sawFolder = QFileInfo(job.packageDir()).isDir();
            job.cancel();
        }
    });
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(sawFolder);
    EXPECT_TRUE(job.isCancelled());
    EXPECT_FALSE(outcome->packageDir);
    EXPECT_EQ(outcome->failure, QString());
    EXPECT_EQ(packages(), QStringList{});
}

// A script that dies midway leaves its folder behind; the job removes it, but
// never a package that was there before the pick.
TEST_F(PickJobTest, AFailedRunRemovesOnlyTheFolderItWasMaking) {
    const QString folder = PackageDiscovery::packagesFolder();
    test::writeFile(folder + "/Old/keep.txt", "keep");
    const QString stub = m_home.scratch() + "/stub.mjs";
    for (const QString& name : {QStringLiteral("New"), QStringLiteral("Old")}) {
        const QByteArray dir = QJsonDocument(QJsonArray{folder + "/" + name})
                                   .toJson(QJsonDocument::Compact)
                                   .chopped(1)
                                   .mid(1);
        test::writeFile(stub,
                        "import fs from 'node:fs';\n"
                        "const dir = " +
                            dir +
                            ";\n"
                            "fs.mkdirSync(dir + '/sub', { recursive: true });\n"
                            "fs.writeFileSync(dir + '/sub/half', 'x');\n"
                            "console.log('making ' + JSON.stringify(dir));\n"
                            "console.log('progress 1 2 1 2');\n"
                            "console.error('Can\\'t copy /p/b: it does not exist.');\n"
                            "process.exit(1);\n");
        PickJob job(m_home.scratch(), stub, folder, nodeExecutable);
        const auto outcome = run(job);
        ASSERT_TRUE(outcome);
        EXPECT_FALSE(outcome->packageDir);
        EXPECT_EQ(outcome->failure, "Can't copy /p/b: it does not exist.");
        EXPECT_EQ(job.progress().files, 1);
    }
    EXPECT_EQ(packages(), QStringList{"Old"});
    EXPECT_EQ(test::readFile(folder + "/Old/keep.txt"), "keep");
}

TEST_F(PickJobTest, MissingPiecesFailAtOnceWithTheirCause) {
    const QString script = QStringLiteral(VARNHOLT_SOURCE_DIR "/companion/host.mjs");
    const struct {
        QString pick;
        QString script;
        PickJob::NodeLookup node;
        QString failure;
    } cases[] = {
        {m_home.scratch() + "/gone", script, nodeExecutable,
         m_home.scratch() + "/gone no longer exists."},
        {m_home.scratch(), m_home.scratch() + "/none.mjs", nodeExecutable,
         "The companion script is missing at " + m_home.scratch() + "/none.mjs."},
        {m_home.scratch(), script, [] { return QStringLiteral("node"); },
         "Node was not found. Install Node 18 or later and try again."},
    };
    QDir().mkpath(m_home.scratch());
    for (const auto& c : cases) {
        PickJob job(c.pick, c.script, PackageDiscovery::packagesFolder(), c.node);
        const auto outcome = run(job);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->failure, c.failure);
    }
}

}  // namespace
}  // namespace varnholt
