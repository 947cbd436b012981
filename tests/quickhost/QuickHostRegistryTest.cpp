#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

#include "ChildProcess.h"
#include "EventLoop.h"
#include "Files.h"
#include "LoopbackHttp.h"
#include "LoopbackPorts.h"
#include "PortHolder.h"
#include "Processes.h"
#include "ServeRun.h"
#include "TempHome.h"
#include "quickhost/PortPolicy.h"
#include "quickhost/QuickHostRegistry.h"
#include "scan/HostScanner.h"

namespace varnholt {
namespace {

using test::httpGet;
using test::PortHolder;
using test::processAlive;
using test::readFile;
using test::writeFile;

TEST(QuickHostSlug, LastComponentLowerCasedWithSpacesAsHyphens) {
    const struct {
        const char* path;
        const char* slug;
    } cases[] = {
        {"/Users/ana/Desktop/Varnholt/My Photos", "my-photos"},
        {"/x/A  B", "a--b"},
        {"/x/Été Photos", "été-photos"},
        {"/x/ÄRGER Über", "ärger-über"},
        {"/x/Tab\tand.Dots_v2", "tab\tand.dots_v2"},
        {"/x/Site/", "site"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuickHostRegistry::slug(QString::fromUtf8(c.path)), QString::fromUtf8(c.slug))
            << c.path;
    }
}

class QuickHostRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        m_scratch = m_home.scratch();
        m_root = m_scratch + "/quick";
        m_packages = m_scratch + "/packages";
    }

    void TearDown() override {
        for (qint32 pid : m_pids) {
            test::endProcess(pid);
        }
    }

    // A registry over ports this test can have to itself.
    QuickHostRegistry registry(int ports = 4) {
        const auto first = test::freePortBlock(41000, 48999, ports);
        EXPECT_TRUE(first.has_value());
        m_firstPort = first.value_or(41000);
        return QuickHostRegistry(m_root, m_firstPort, m_firstPort + ports - 1,
                                 test::serveProgram());
    }

    std::optional<QuickHostEntry> start(QuickHostRegistry& reg, const QString& path) {
        const auto entry = reg.start(path);
        if (entry) {
            m_pids.push_back(entry->pid);
        }
        return entry;
    }

    static void removePath(const QString& path) {
        if (QFileInfo(path).isSymLink() || QFileInfo(path).isFile()) {
            QFile::remove(path);
        } else {
            QDir(path).removeRecursively();
        }
    }

    void removeRoots() {
        removePath(m_root);
        removePath(m_root + "-" + QString::number(::geteuid()));
    }

    QString makePackage(const QString& name) {
        const QString dir = m_packages + "/" + name;
        QDir().mkpath(dir);
        return dir;
    }

    test::TempHome m_home;
    QString m_scratch;
    QString m_root;
    QString m_packages;
    qint64 m_firstPort = 0;
    std::vector<qint32> m_pids;
};

TEST_F(QuickHostRegistryTest, RefusesSlugsThatLeaveTheRoot) {
    writeFile(m_root + "/keep/sentinel", "in root");
    writeFile(m_scratch + "/beside", "beside root");
    QDir().mkpath(m_packages + "/pkg");
    QuickHostRegistry reg(m_root, 41000, 41001, test::serveProgram());
    for (const QString& path :
         {m_packages + "/pkg/..", QString("/"), m_packages + "/pkg/.", m_packages + "/pkg/../"}) {
        EXPECT_FALSE(start(reg, path).has_value()) << path.toStdString();
        EXPECT_FALSE(reg.info(path).has_value());
    }
    EXPECT_EQ(readFile(m_root + "/keep/sentinel"), "in root");
    EXPECT_EQ(readFile(m_scratch + "/beside"), "beside root");
    EXPECT_TRUE(QFileInfo::exists(m_packages + "/pkg"));
}

TEST_F(QuickHostRegistryTest, RefusesPathsThatAreNotAbsoluteFolders) {
    writeFile(m_packages + "/file.txt", "x");
    const QString saved = QDir::currentPath();
    QDir::setCurrent(m_packages);
    QDir().mkpath(m_packages + "/relative");
    QuickHostRegistry reg(m_root, 41000, 41001, test::serveProgram());
    for (const QString& path :
         {QString("relative"), m_packages + "/missing", m_packages + "/file.txt", QString()}) {
        EXPECT_FALSE(start(reg, path).has_value()) << path.toStdString();
    }
    QDir::setCurrent(saved);
    EXPECT_FALSE(QFileInfo::exists(m_root));
}

// The package is served in place: nothing is copied. Starting it removes
// the copy an earlier version served from the root (or the user's own
// fallback root), locked folders included, and nothing else; a root that is
// a link is not cleaned through.
TEST_F(QuickHostRegistryTest, RemovesOldCopiesAndCopiesNothing) {
    const QString pkg = makePackage("Pkg");
    writeFile(pkg + "/index.html", "served");
    QuickHostRegistry reg = registry(2);
    writeFile(m_root + "/pkg/docs/stale.txt", "stale");
    ::chmod(QFile::encodeName(m_root + "/pkg/docs").constData(), 0555);
    ::chmod(QFile::encodeName(m_root).constData(), 0777);
    writeFile(m_root + "/other/keep.txt", "keep");
    writeFile(reg.fallbackRoot() + "/pkg/stale.txt", "stale");
    auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value()) << reg.lastFailure().toStdString();
    EXPECT_FALSE(QFileInfo::exists(m_root + "/pkg"));
    EXPECT_FALSE(QFileInfo::exists(reg.fallbackRoot() + "/pkg"));
    EXPECT_EQ(readFile(m_root + "/other/keep.txt"), "keep");
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(m_root).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(httpGet(entry->port, "/")->body, "served");
    reg.stop(pkg);

    const QString target = m_scratch + "/elsewhere";
    writeFile(target + "/pkg/sentinel", "keep me");
    removeRoots();
    ASSERT_TRUE(QFile::link(target, m_root));
    entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value()) << reg.lastFailure().toStdString();
    EXPECT_EQ(readFile(target + "/pkg/sentinel"), "keep me");
    EXPECT_FALSE(QFileInfo::exists(reg.fallbackRoot() + "/pkg"));
}

TEST_F(QuickHostRegistryTest, ServesTheFlattenedSiteWithoutHiddenFiles) {
    const QString pkg = makePackage("My Site");
    writeFile(pkg + "/site/index.html", "<h1>Hello from the site</h1>\n");
    writeFile(pkg + "/site/css/main.css", "body{}");
    writeFile(pkg + "/README", "read me");
    writeFile(pkg + "/HOW TO SHARE.txt", "how");
    writeFile(pkg + "/sub/Varnholt.command", "#!/bin/sh");
    writeFile(pkg + "/sub/keep.txt", "keep");
    QuickHostRegistry reg = registry();

    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    EXPECT_GE(entry->pid, 1);
    EXPECT_EQ(entry->port, m_firstPort);
    ASSERT_TRUE(reg.info(pkg).has_value());
    EXPECT_EQ(reg.info(pkg)->pid, entry->pid);
    EXPECT_EQ(reg.info(pkg)->port, entry->port);

    EXPECT_FALSE(QFileInfo::exists(m_root + "/my-site"));
    EXPECT_EQ(httpGet(entry->port, "/css/main.css")->body, "body{}");
    EXPECT_EQ(httpGet(entry->port, "/sub/keep.txt")->body, "keep");
    const auto page = httpGet(entry->port, "/");
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, readFile(pkg + "/site/index.html"));
    EXPECT_EQ(httpGet(entry->port, "/README")->body, "read me");
    EXPECT_EQ(httpGet(entry->port, "/HOW%20TO%20SHARE.txt")->status, 404);
    EXPECT_EQ(httpGet(entry->port, "/sub/Varnholt.command")->status, 404);
    // The package itself is untouched.
    EXPECT_TRUE(QFileInfo::exists(pkg + "/site/index.html"));
    EXPECT_TRUE(QFileInfo::exists(pkg + "/HOW TO SHARE.txt"));
}

TEST_F(QuickHostRegistryTest, CopiesEvenWhenTheWorkingFolderIsGone) {
    const QString pkg = makePackage("Cwd");
    writeFile(pkg + "/index.html", "still here");
    const QString saved = QDir::currentPath();
    const QString gone = m_scratch + "/gone";
    QDir().mkpath(gone);
    ASSERT_TRUE(QDir::setCurrent(gone));
    ASSERT_TRUE(QDir().rmdir(gone));
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    QDir::setCurrent(saved);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(httpGet(entry->port, "/")->body, "still here");
}

TEST_F(QuickHostRegistryTest, RootIndexWinsOverTheSiteIndex) {
    const QString pkg = makePackage("Both");
    writeFile(pkg + "/index.html", "root page");
    writeFile(pkg + "/site/index.html", "site page");
    writeFile(pkg + "/site/extra.txt", "extra");
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(httpGet(entry->port, "/extra.txt")->body, "extra");
    EXPECT_EQ(httpGet(entry->port, "/site/index.html")->status, 404);
    EXPECT_EQ(httpGet(entry->port, "/")->body, "root page");
}

TEST_F(QuickHostRegistryTest, KeepsAFolderNamedSiteInsideTheSite) {
    const QString pkg = makePackage("Project");
    writeFile(pkg + "/site/index.html", "home");
    writeFile(pkg + "/site/site/page.html", "inner page");
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(httpGet(entry->port, "/")->body, "home");
    EXPECT_EQ(httpGet(entry->port, "/site/page.html")->body, "inner page");
}

TEST_F(QuickHostRegistryTest, ServesNoLinkLeadingOutOfThePackage) {
    writeFile(m_scratch + "/secret.txt", "secret");
    const QString pkg = makePackage("Links");
    writeFile(pkg + "/site/index.html", "site");
    writeFile(pkg + "/README", "read me");
    ASSERT_TRUE(QFile::link(m_scratch + "/secret.txt", pkg + "/abs-out"));
    ASSERT_EQ(::symlink("../../secret.txt", QFile::encodeName(pkg + "/rel-out").constData()), 0);
    // Inside the package, but out of the site that is served at the root.
    ASSERT_EQ(::symlink("../README", QFile::encodeName(pkg + "/site/readme").constData()), 0);
    ASSERT_EQ(::symlink("README", QFile::encodeName(pkg + "/inside").constData()), 0);
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());

    for (const char* name : {"abs-out", "rel-out", "readme"}) {
        EXPECT_EQ(httpGet(entry->port, QByteArray("/") + name)->status, 404) << name;
    }
    EXPECT_EQ(httpGet(entry->port, "/inside")->body, "read me");
}

TEST_F(QuickHostRegistryTest, StopForgetsAtOnceAndEndsTheServer) {
    const QString pkg = makePackage("Stop Me");
    writeFile(pkg + "/index.html", "x");
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    ASSERT_TRUE(httpGet(entry->port, "/").has_value());

    reg.stop(m_packages + "/Other");  // no entry: nothing happens
    EXPECT_TRUE(reg.info(pkg).has_value());
    reg.stop(pkg);
    EXPECT_FALSE(reg.info(pkg).has_value());
    test::spinFor(std::chrono::milliseconds(1500));
    EXPECT_FALSE(processAlive(entry->pid));
}

TEST_F(QuickHostRegistryTest, PruneDeadDropsOnlyEndedServers) {
    const QString a = makePackage("A");
    const QString b = makePackage("B");
    writeFile(a + "/index.html", "a");
    writeFile(b + "/index.html", "b");
    QuickHostRegistry reg = registry();
    const auto ea = start(reg, a);
    const auto eb = start(reg, b);
    ASSERT_TRUE(ea && eb);

    ASSERT_EQ(::kill(ea->pid, SIGKILL), 0);
    ASSERT_TRUE(test::waitUntilGone(ea->pid, std::chrono::seconds(5)));
    reg.pruneDead();
    EXPECT_FALSE(reg.info(a).has_value());
    ASSERT_TRUE(reg.info(b).has_value());
    EXPECT_EQ(reg.info(b)->pid, eb->pid);
}

TEST_F(QuickHostRegistryTest, StartingTwiceKeepsTheSecondServer) {
    const QString pkg = makePackage("Twice");
    writeFile(pkg + "/index.html", "x");
    QuickHostRegistry reg = registry();
    const auto first = start(reg, pkg);
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(httpGet(first->port, "/").has_value());  // listening, so its port is taken
    const auto second = start(reg, pkg);
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(second->pid, first->pid);
    EXPECT_EQ(second->port, first->port + 1);
    EXPECT_EQ(reg.info(pkg)->pid, second->pid);
    EXPECT_TRUE(processAlive(first->pid));
}

TEST_F(QuickHostRegistryTest, SkipsBusyPortsAndGivesUpWhenAllAreBusy) {
    const QString pkg = makePackage("Busy");
    writeFile(pkg + "/index.html", "x");
    QuickHostRegistry reg = registry(4);
    PortHolder holder;
    for (qint64 port = m_firstPort; port < m_firstPort + 3; ++port) {
        ASSERT_TRUE(holder.hold(port));
    }
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->port, m_firstPort + 3);
    ASSERT_TRUE(httpGet(entry->port, "/").has_value());

    // Now every port is held: by the test or by the first server.
    const QString other = makePackage("Other");
    writeFile(other + "/index.html", "y");
    EXPECT_FALSE(start(reg, other).has_value());
    EXPECT_FALSE(reg.info(other).has_value());
    EXPECT_EQ(reg.info(pkg)->pid, entry->pid);
}

TEST_F(QuickHostRegistryTest, UsesTheAppRangeAboveTheLowestBindablePort) {
    const auto range =
        PortPolicy::bindableRange(QuickHostRegistry::kFirstPort, QuickHostRegistry::kLastPort,
                                  PortPolicy::lowestBindablePort());
    ASSERT_TRUE(range.has_value());
    if (!HostScanner::firstFreePort(range->first, range->second)) {
        GTEST_SKIP() << "every port of the app's range is in use";
    }
    const QString pkg = makePackage("Real Range");
    writeFile(pkg + "/index.html", "real");
    QuickHostRegistry reg(m_root, QuickHostRegistry::kFirstPort, QuickHostRegistry::kLastPort,
                          test::serveProgram());
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    EXPECT_GE(entry->port, range->first);
    EXPECT_LE(entry->port, range->second);
    const auto page = httpGet(entry->port, "/");
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->body, "real");
}

// Served in place, so an edit shows at once, even in a folder nobody may
// write to; an old copy holding a link to a locked folder outside is removed
// on a restart without following it.
TEST_F(QuickHostRegistryTest, EditsShowAtOnceAndRestartsLeaveLinkedFoldersAlone) {
    const QString pkg = makePackage("Locked");
    writeFile(pkg + "/index.html", "home");
    writeFile(pkg + "/docs/old.txt", "old");
    const auto setMode = [](const QString& path, mode_t mode) {
        ::chmod(QFile::encodeName(path).constData(), mode);
    };
    QuickHostRegistry reg = registry();
    const auto first = start(reg, pkg);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(httpGet(first->port, "/docs/old.txt")->body, "old");
    ASSERT_TRUE(QFile::remove(pkg + "/docs/old.txt"));
    writeFile(pkg + "/docs/new.txt", "new");
    setMode(pkg + "/docs", 0555);
    EXPECT_EQ(httpGet(first->port, "/docs/old.txt")->status, 404);
    EXPECT_EQ(httpGet(first->port, "/docs/new.txt")->body, "new");
    reg.stop(pkg);

    const QString outside = m_scratch + "/outside";
    writeFile(outside + "/keep.txt", "keep");
    setMode(outside, 0555);
    writeFile(m_root + "/locked/docs/old.txt", "old copy");
    ASSERT_TRUE(QFile::link(outside, m_root + "/locked/docs/link"));
    setMode(m_root + "/locked/docs", 0555);
    const auto second = start(reg, pkg);
    ASSERT_TRUE(second.has_value()) << reg.lastFailure().toStdString();
    EXPECT_FALSE(QFileInfo::exists(m_root + "/locked"));
    EXPECT_EQ(httpGet(second->port, "/docs/new.txt")->body, "new");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(outside).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0555u);
    EXPECT_EQ(readFile(outside + "/keep.txt"), "keep");
    setMode(pkg + "/docs", 0755);
    setMode(outside, 0755);
}

// A name that is not valid UTF-8 is served by its bytes.
TEST_F(QuickHostRegistryTest, NamesThatAreNotUtf8AreServedByTheirBytes) {
    const QString pkg = makePackage("Bytes");
    writeFile(pkg + "/site/index.html", "home");
    const QByteArray native = QFile::encodeName(pkg);
    for (const QByteArray& name : {native + "/bad-\xff.txt", native + "/site/inner-\xfe.txt"}) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "raw", 3), 3);
        ::close(fd);
    }
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value()) << reg.lastFailure().toStdString();
    EXPECT_EQ(httpGet(entry->port, "/bad-%FF.txt")->body, "raw");
    EXPECT_EQ(httpGet(entry->port, "/inner-%FE.txt")->body, "raw");
}

// Each start waits until its server listens, so the next one never picks the
// same port, and every server really serves.
TEST_F(QuickHostRegistryTest, StartsInQuickSuccessionGetTheirOwnPorts) {
    QuickHostRegistry reg = registry(4);
    QSet<qint64> ports;
    QList<QuickHostEntry> entries;
    for (const char* name : {"One", "Two", "Three"}) {
        const QString pkg = makePackage(name);
        writeFile(pkg + "/index.html", name);
        const auto entry = start(reg, pkg);
        ASSERT_TRUE(entry.has_value()) << reg.lastFailure().toStdString();
        ports.insert(entry->port);
        entries << *entry;
    }
    EXPECT_EQ(ports.size(), 3);
    EXPECT_EQ(httpGet(entries[0].port, "/")->body, "One");
    EXPECT_EQ(httpGet(entries[2].port, "/")->body, "Three");
    for (const QuickHostEntry& entry : entries) {
        EXPECT_TRUE(processAlive(entry.pid));
    }
}

TEST_F(QuickHostRegistryTest, FailuresNameTheirCause) {
    const QString pkg = makePackage("Cause");
    writeFile(pkg + "/index.html", "x");
    QuickHostRegistry reg = registry(2);

    EXPECT_FALSE(start(reg, m_packages + "/Gone").has_value());
    EXPECT_EQ(reg.lastFailure(), "The package folder " + m_packages + "/Gone does not exist.");

    {
        PortHolder holder;
        ASSERT_TRUE(holder.hold(m_firstPort) && holder.hold(m_firstPort + 1));
        EXPECT_FALSE(start(reg, pkg).has_value());
        EXPECT_EQ(reg.lastFailure(),
                  QString("No free port between %1 and %2.").arg(m_firstPort).arg(m_firstPort + 1));
    }

    // A server that dies at once is a failure, not a running row; a missing
    // one says where it was looked for.
    QuickHostRegistry dying(m_root, m_firstPort, m_firstPort + 1, "/bin/false");
    EXPECT_FALSE(dying.start(pkg).has_value());
    EXPECT_FALSE(dying.info(pkg).has_value());
    EXPECT_EQ(dying.lastFailure(),
              QString("The server for port %1 stopped right after it started.").arg(m_firstPort));
    QuickHostRegistry missing(m_root, m_firstPort, m_firstPort + 1, m_scratch + "/no-server");
    EXPECT_FALSE(missing.start(pkg).has_value());
    EXPECT_EQ(missing.lastFailure(), "The file server " + m_scratch +
                                         "/no-server is missing; reinstall Varnholt Control.");

    ASSERT_TRUE(start(reg, pkg).has_value());
    EXPECT_TRUE(reg.lastFailure().isEmpty());
}

// Text is sent as UTF-8 so browsers show it as written; a page keeps the
// encoding it names itself.
TEST_F(QuickHostRegistryTest, TextFilesCarryAUtf8Charset) {
    const QString pkg = makePackage("Text");
    writeFile(pkg + "/notes.txt", "h\xc3\xa9llo");
    writeFile(pkg + "/data.json", "{}");
    writeFile(pkg + "/index.html", "<p>page");
    writeFile(pkg + "/photo.png", "png");
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    const struct {
        const char* target;
        const char* type;
    } cases[] = {
        {"/notes.txt", "text/plain; charset=utf-8"},
        {"/data.json", "application/json; charset=utf-8"},
        {"/index.html", "text/html"},
        {"/photo.png", "image/png"},
    };
    for (const auto& c : cases) {
        const auto reply = httpGet(entry->port, c.target);
        ASSERT_TRUE(reply.has_value()) << c.target;
        EXPECT_TRUE(reply->headers.contains(QByteArray("\r\nContent-Type: ") + c.type + "\r\n"))
            << c.target << "\n"
            << reply->headers.constData();
    }
    EXPECT_EQ(httpGet(entry->port, "/notes.txt")->body, "h\xc3\xa9llo");
}

// After the app restarts, a package whose server still runs shows it again.
TEST_F(QuickHostRegistryTest, AdoptsTheServerOfAPackageFromAnEarlierRun) {
    const QString pkg = makePackage("Earlier Run");
    writeFile(pkg + "/index.html", "still up");
    const QString other = makePackage("Other");
    QuickHostRegistry earlier = registry(3);
    const auto entry = start(earlier, pkg);
    ASSERT_TRUE(entry.has_value());
    ASSERT_TRUE(httpGet(entry->port, "/").has_value());  // listening, so the scan lists it
    // Named after the package it serves.
    const QList<HostedPort> listed = HostScanner::scan();
    const auto it = std::find_if(listed.cbegin(), listed.cend(),
                                 [&](const HostedPort& s) { return s.port == entry->port; });
    ASSERT_NE(it, listed.cend());
    EXPECT_EQ(it->friendlyName, "Earlier Run");
    // A python server of this user is not the package's.
    QDir().mkpath(m_scratch + "/plain");
    auto stranger =
        test::ChildProcess::start({"/usr/bin/python3", "-m", "http.server",
                                   QString::number(m_firstPort + 2), "--bind", "127.0.0.1"},
                                  m_scratch + "/plain");
    ASSERT_TRUE(stranger);
    ASSERT_TRUE(httpGet(m_firstPort + 2, "/").has_value());
    // Nor is the same server run from another file, serving a package.
    const QString copy = m_scratch + "/varnholt-serve";
    ASSERT_TRUE(QFile::copy(test::serveProgram(), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner));
    auto foreign =
        test::ChildProcess::start({copy, "--port", QString::number(m_firstPort + 1), other}, other);
    ASSERT_TRUE(foreign);
    ASSERT_TRUE(httpGet(m_firstPort + 1, "/").has_value());

    QuickHostRegistry later(m_root, m_firstPort, m_firstPort + 2, test::serveProgram());
    const QList<QuickHostPackage> packages = {{"Earlier Run", pkg}, {"Other", other}};
    later.adopt(HostScanner::scan(), packages);
    ASSERT_TRUE(later.info(pkg).has_value());
    EXPECT_EQ(later.info(pkg)->pid, entry->pid);
    EXPECT_EQ(later.info(pkg)->port, entry->port);
    EXPECT_FALSE(later.info(other).has_value());

    // Adopted means stoppable like any other.
    later.stop(pkg);
    EXPECT_TRUE(test::waitUntilGone(entry->pid, std::chrono::seconds(5)));
}

// The panel's start returns at once with the server in the table; whether it
// came up is told later, on the event loop.
TEST_F(QuickHostRegistryTest, AStartInTheBackgroundReportsOnTheEventLoop) {
    QuickHostRegistry reg = registry(4);
    struct Outcome {
        bool started = false;
        QString failure;
    };
    std::optional<Outcome> outcome;
    const auto record = [&](bool started, const QString& failure) {
        outcome = Outcome{started, failure};
    };

    const QString pkg = makePackage("Quick");
    writeFile(pkg + "/index.html", "quick");
    reg.startInBackground(pkg, record);
    const auto entry = reg.info(pkg);
    ASSERT_TRUE(entry);
    m_pids.push_back(entry->pid);
    EXPECT_FALSE(outcome);  // never from inside the call
    ASSERT_TRUE(test::waitUntil([&] { return outcome.has_value(); }));
    EXPECT_TRUE(outcome->started);
    EXPECT_EQ(httpGet(entry->port, "/")->body, "quick");
    EXPECT_EQ(reg.startsUnderWay(), 0);

    // Stopped before it listened: nothing failed.
    outcome.reset();
    reg.stop(pkg);
    reg.startInBackground(pkg, record);
    reg.stop(pkg);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->started);
    EXPECT_EQ(outcome->failure, "");

    // A server that dies at once is a failure, and leaves the table.
    const QString dying = m_scratch + "/dying-server";
    writeFile(dying, "#!/bin/sh\nexit 1\n");
    ::chmod(QFile::encodeName(dying).constData(), 0700);
    QuickHostRegistry broken(m_root, m_firstPort, m_firstPort + 3, dying);
    outcome.reset();
    broken.startInBackground(pkg, record);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->started);
    EXPECT_TRUE(outcome->failure.contains("stopped right after it started"));
    EXPECT_FALSE(broken.info(pkg));

    // One that cannot start at all says why, also from the event loop.
    outcome.reset();
    reg.startInBackground(m_scratch + "/missing", record);
    EXPECT_FALSE(outcome);
    ASSERT_TRUE(test::waitUntil([&] { return outcome.has_value(); }));
    EXPECT_TRUE(outcome->failure.contains("does not exist"));
}

}  // namespace
}  // namespace varnholt
