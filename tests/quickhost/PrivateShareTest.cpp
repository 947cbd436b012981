// Private links and received files as the registry and the app's watch see
// them, with the real file server.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "EventLoop.h"
#include "Files.h"
#include "LoopbackHttp.h"
#include "LoopbackPorts.h"
#include "Processes.h"
#include "ServeRun.h"
#include "TempHome.h"
#include "quickhost/LinkToken.h"
#include "quickhost/QuickHostRegistry.h"
#include "quickhost/ReceivedWatch.h"
#include "scan/HostScanner.h"

namespace varnholt {
namespace {

QByteArray procFile(qint32 pid, const char* leaf) {
    return test::readFile(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(leaf)));
}

class PrivateShareTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        const auto first = test::freePortBlock(41000, 48999, 3);
        ASSERT_TRUE(first);
        m_first = *first;
    }
    void TearDown() override {
        for (qint32 pid : m_pids) {
            test::endProcess(pid);
        }
    }
    QuickHostRegistry registry() const {
        return QuickHostRegistry(m_home.scratch() + "/quick", m_first, m_first + 2,
                                 test::serveProgram());
    }
    QString package(const QString& name) const {
        const QString dir = m_home.scratch() + "/packages/" + name;
        QDir().mkpath(dir);
        test::writeFile(dir + "/a.txt", "a");
        return dir;
    }
    void track(const std::optional<QuickHostEntry>& entry) {
        if (entry) {
            m_pids.push_back(entry->pid);
        }
    }

    test::TempHome m_home;
    qint64 m_first = 0;
    std::vector<qint32> m_pids;
};

TEST(LinkToken, HoldsAHundredAndTwentyEightRandomBitsInUrlSafeText) {
    const auto one = LinkToken::make();
    const auto two = LinkToken::make();
    ASSERT_TRUE(one && two);
    EXPECT_EQ(one->size(), 22);
    EXPECT_TRUE(LinkToken::isWellFormed(*one));
    EXPECT_NE(*one, *two);
    for (const char* bad : {"", "short", "AAAAAAAAAAAAAAAAAAAA/A", "AAAAAAAAAAAAAAAAAAAA A"}) {
        EXPECT_FALSE(LinkToken::isWellFormed(QString::fromLatin1(bad))) << bad;
    }
}

TEST_F(PrivateShareTest, TheSecretStaysOutOfTheCommandLineAndSurvivesTheApp) {
    QuickHostRegistry reg = registry();
    const QString secret = package("Secret");
    const QString open = package("Open");
    const auto taking = reg.start(secret, {true, true});
    track(taking);
    const auto plain = reg.start(open, {false, true});  // uploads need a private link
    track(plain);
    ASSERT_TRUE(taking && plain);
    EXPECT_TRUE(LinkToken::isWellFormed(taking->token));
    EXPECT_TRUE(taking->uploads);
    EXPECT_EQ(taking->linkPath(), "s/" + taking->token + "/");
    EXPECT_FALSE(plain->isPrivate());
    EXPECT_FALSE(plain->uploads);

    const QByteArray args = procFile(taking->pid, "cmdline");
    EXPECT_FALSE(args.contains(taking->token.toLatin1()));
    EXPECT_TRUE(args.contains("--allow-uploads"));
    EXPECT_FALSE(procFile(plain->pid, "cmdline").contains("--allow-uploads"));
    EXPECT_TRUE(procFile(taking->pid, "environ")
                    .contains("VARNHOLT_SERVE_TOKEN=" + taking->token.toLatin1()));
    const auto linked = test::httpGet(taking->port, "/s/" + taking->token.toLatin1() + "/");
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->status, 200);
    EXPECT_EQ(test::httpGet(taking->port, "/")->status, 404);
    EXPECT_EQ(test::httpGet(plain->port, "/")->status, 200);

    // A later run takes both back as they were.
    QuickHostRegistry later = registry();
    later.adopt(HostScanner::scan(), {{"Secret", secret}, {"Open", open}});
    ASSERT_TRUE(later.info(secret) && later.info(open));
    EXPECT_EQ(later.info(secret)->token, taking->token);
    EXPECT_TRUE(later.info(secret)->uploads);
    EXPECT_FALSE(later.info(open)->isPrivate());
}

// Each choice is a new server on the same port, and the old one is gone at
// once; the link changes only when a new one is asked for.
TEST_F(PrivateShareTest, ServingAnewKeepsThePortAndTheLinkUnlessANewOneIsAsked) {
    QuickHostRegistry reg = registry();
    const QString pkg = package("Album");
    const auto first = reg.start(pkg, {true, true});
    track(first);
    ASSERT_TRUE(first);
    QuickHostEntry before = *first;
    const struct {
        ServeOptions options;
        bool sameLink;
    } steps[] = {{{true, false}, true}, {{true, false, true}, false}, {{false, false}, false}};
    for (const auto& step : steps) {
        std::optional<bool> started;
        reg.restartInBackground(pkg, step.options, [&](bool ok, const QString&) { started = ok; });
        ASSERT_TRUE(test::waitUntil([&] { return started.has_value(); }, std::chrono::seconds(10)));
        const auto after = reg.info(pkg);
        track(after);
        EXPECT_TRUE(*started);
        ASSERT_TRUE(after);
        EXPECT_NE(after->pid, before.pid);
        EXPECT_EQ(after->port, before.port);
        EXPECT_EQ(after->isPrivate(), step.options.privately);
        EXPECT_EQ(after->token == before.token, step.sameLink);
        EXPECT_EQ(after->uploads, step.options.uploads);
        EXPECT_TRUE(test::waitUntilGone(before.pid, std::chrono::seconds(5)));
        before = *after;
    }
}

// The watch announces each recorded file once, from where it first looked,
// and never follows a planted link.
TEST_F(PrivateShareTest, TheWatchReadsEachNewRecordOnce) {
    const QString pkg = package("Inbox");
    const QString record = pkg + "/" + ReceivedLog::kFileName;
    test::writeFile(record, "old.jpg\t10\t192.168.1.5\n");
    ReceivedWatch watch;
    EXPECT_TRUE(watch.poll(pkg, 100).isEmpty());  // what came before is not news
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("no size here\n-1\t-5\tx\n" +
               ReceivedLog::line({"photo.jpg", 3200000, "192.168.1.23"}) + "half\t1");
    file.flush();
    EXPECT_EQ(watch.poll(pkg, 100), (QList<ReceivedFile>{{"photo.jpg", 3200000, "192.168.1.23"}}));
    file.write("\t::1\n");
    file.flush();
    EXPECT_EQ(watch.poll(pkg, 100), (QList<ReceivedFile>{{"half", 1, "::1"}}));
    EXPECT_TRUE(watch.poll(pkg, 100).isEmpty());
    EXPECT_EQ(watch.count(pkg), 2);
    // A new server for the package reads on from the end and keeps counting.
    EXPECT_TRUE(watch.poll(pkg, 101).isEmpty());
    EXPECT_EQ(watch.count(pkg), 2);

    const QString linked = package("Linked");
    ASSERT_TRUE(QFile::link(record, linked + "/" + ReceivedLog::kFileName));
    watch.poll(linked, 7);
    test::writeFile(record, QByteArray(4096, 'x') + '\n');
    EXPECT_TRUE(watch.poll(linked, 7).isEmpty());
    watch.keepOnly({});
    EXPECT_EQ(watch.count(pkg), 0);
}

}  // namespace
}  // namespace varnholt
