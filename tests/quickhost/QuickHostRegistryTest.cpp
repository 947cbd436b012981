#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "EventLoop.h"
#include "Files.h"
#include "LoopbackHttp.h"
#include "LoopbackPorts.h"
#include "PortHolder.h"
#include "Processes.h"
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
        return QuickHostRegistry(m_root, m_firstPort, m_firstPort + ports - 1);
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
    QuickHostRegistry reg(m_root, 41000, 41001);
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
    QuickHostRegistry reg(m_root, 41000, 41001);
    for (const QString& path :
         {QString("relative"), m_packages + "/missing", m_packages + "/file.txt", QString()}) {
        EXPECT_FALSE(start(reg, path).has_value()) << path.toStdString();
    }
    QDir::setCurrent(saved);
    EXPECT_FALSE(QFileInfo::exists(m_root));
}

// Anyone can take the shared root's name first; hosting then moves to a
// folder of the user's own, and says so only when that fails too.
TEST_F(QuickHostRegistryTest, UsesAFolderOfItsOwnWhenTheRootIsNotUsable) {
    const QString pkg = makePackage("Pkg");
    writeFile(pkg + "/index.html", "served");
    const QString target = m_scratch + "/elsewhere";
    writeFile(target + "/pkg/sentinel", "keep me");
    for (const QByteArray kind : {"a link", "another user's folder"}) {
        removeRoots();
        if (kind == "a link") {
            ASSERT_TRUE(QFile::link(target, m_root));
        } else if (::geteuid() == 0) {
            writeFile(m_root + "/pkg/sentinel", "keep me");
            ASSERT_EQ(::chown(QFile::encodeName(m_root).constData(), 65534, 65534), 0);
        } else {
            continue;  // making a folder of another user needs root
        }
        QuickHostRegistry reg = registry(2);
        const auto entry = start(reg, pkg);
        ASSERT_TRUE(entry.has_value())
            << kind.constData() << ": " << reg.lastFailure().toStdString();
        EXPECT_EQ(reg.fallbackRoot(), m_root + "-" + QString::number(::geteuid()));
        EXPECT_EQ(readFile(reg.fallbackRoot() + "/pkg/index.html"), "served");
        EXPECT_EQ(httpGet(entry->port, "/")->body, "served");
        EXPECT_EQ(readFile(target + "/pkg/sentinel"), "keep me");
        EXPECT_FALSE(QFileInfo::exists(target + "/pkg/index.html"));
        reg.stop(pkg);

        // With its own folder taken as well, nothing is served and the
        // failure names the cause.
        removePath(reg.fallbackRoot());
        ASSERT_TRUE(QFile::link(target, reg.fallbackRoot()));
        EXPECT_FALSE(start(reg, pkg).has_value());
        EXPECT_TRUE(reg.lastFailure().contains(reg.fallbackRoot() + " can"))
            << reg.lastFailure().toStdString();
        if (kind != "a link") {
            EXPECT_TRUE(reg.lastFailure().startsWith("The quick-host folder " + m_root +
                                                     " belongs to another user"));
        }
    }
}

TEST_F(QuickHostRegistryTest, KeepsTheRootPrivate) {
    const QString pkg = makePackage("Pkg");
    writeFile(pkg + "/index.html", "x");
    for (bool existing : {false, true}) {
        if (existing) {
            ::chmod(QFile::encodeName(m_root).constData(), 0777);
        }
        QuickHostRegistry reg = registry(2);
        ASSERT_TRUE(start(reg, pkg).has_value());
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(m_root).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << "existing root: " << existing;
        reg.stop(pkg);
    }
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

    const QString served = m_root + "/my-site";
    QStringList listing =
        QDir(served).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    listing.sort();
    EXPECT_EQ(listing, QStringList({"README", "css", "index.html", "sub"}));
    EXPECT_FALSE(QFileInfo::exists(served + "/sub/Varnholt.command"));
    EXPECT_TRUE(QFileInfo::exists(served + "/sub/keep.txt"));

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
    EXPECT_EQ(readFile(m_root + "/both/index.html"), "root page");
    EXPECT_EQ(readFile(m_root + "/both/extra.txt"), "extra");
    EXPECT_FALSE(QFileInfo::exists(m_root + "/both/site"));
    EXPECT_EQ(httpGet(entry->port, "/")->body, "root page");
}

TEST_F(QuickHostRegistryTest, KeepsAFolderNamedSiteInsideTheSite) {
    const QString pkg = makePackage("Project");
    writeFile(pkg + "/site/index.html", "home");
    writeFile(pkg + "/site/site/page.html", "inner page");
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    QStringList listing =
        QDir(m_root + "/project").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    listing.sort();
    EXPECT_EQ(listing, QStringList({"index.html", "site"}));
    EXPECT_EQ(httpGet(entry->port, "/site/page.html")->body, "inner page");
}

TEST_F(QuickHostRegistryTest, ServesNoLinkLeadingOutOfThePackage) {
    writeFile(m_scratch + "/secret.txt", "secret");
    const QString pkg = makePackage("Links");
    writeFile(pkg + "/site/index.html", "site");
    writeFile(pkg + "/README", "read me");
    ASSERT_TRUE(QFile::link(m_scratch + "/secret.txt", pkg + "/abs-out"));
    ASSERT_EQ(::symlink("../../secret.txt", QFile::encodeName(pkg + "/rel-out").constData()), 0);
    // Inside the package, but flattening moves it a level up and out.
    ASSERT_EQ(::symlink("../README", QFile::encodeName(pkg + "/site/readme").constData()), 0);
    ASSERT_EQ(::symlink("README", QFile::encodeName(pkg + "/inside").constData()), 0);
    QuickHostRegistry reg = registry();
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());

    const QString served = m_root + "/links";
    for (const char* name : {"abs-out", "rel-out", "readme"}) {
        EXPECT_FALSE(QFileInfo(served + "/" + name).isSymLink()) << name;
        EXPECT_EQ(httpGet(entry->port, QByteArray("/") + name)->status, 404) << name;
    }
    EXPECT_TRUE(QFileInfo(served + "/inside").isSymLink());
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
    // The served copy stays until the package is started again.
    EXPECT_TRUE(QFileInfo::exists(m_root + "/stop-me/index.html"));
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
    QuickHostRegistry reg(m_root);
    const auto entry = start(reg, pkg);
    ASSERT_TRUE(entry.has_value());
    EXPECT_GE(entry->port, range->first);
    EXPECT_LE(entry->port, range->second);
    const auto page = httpGet(entry->port, "/");
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->body, "real");
}

// A restart copies afresh: a file deleted from the package is gone from the
// server too, even when the old copy holds folders nobody may write to.
TEST_F(QuickHostRegistryTest, RestartServesWhatThePackageHoldsNow) {
    const QString pkg = makePackage("Locked");
    writeFile(pkg + "/index.html", "home");
    writeFile(pkg + "/docs/old.txt", "old");
    const auto setMode = [](const QString& path, mode_t mode) {
        ::chmod(QFile::encodeName(path).constData(), mode);
    };
    setMode(pkg + "/docs", 0555);
    QuickHostRegistry reg = registry();
    const auto first = start(reg, pkg);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(httpGet(first->port, "/docs/old.txt")->body, "old");
    reg.stop(pkg);

    setMode(pkg + "/docs", 0755);
    ASSERT_TRUE(QFile::remove(pkg + "/docs/old.txt"));
    writeFile(pkg + "/docs/new.txt", "new");
    setMode(pkg + "/docs", 0555);
    // A link inside the old copy to a locked folder outside: removed, never
    // followed nor opened up.
    const QString outside = m_scratch + "/outside";
    writeFile(outside + "/keep.txt", "keep");
    setMode(outside, 0555);
    setMode(m_root + "/locked/docs", 0755);
    ASSERT_TRUE(QFile::link(outside, m_root + "/locked/docs/link"));
    // The old copy locked, as copies of earlier versions were.
    setMode(m_root + "/locked/docs", 0555);

    const auto second = start(reg, pkg);
    ASSERT_TRUE(second.has_value()) << reg.lastFailure().toStdString();
    EXPECT_EQ(httpGet(second->port, "/docs/old.txt")->status, 404);
    EXPECT_EQ(httpGet(second->port, "/docs/new.txt")->body, "new");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(outside).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0555u);
    EXPECT_EQ(readFile(outside + "/keep.txt"), "keep");
    setMode(pkg + "/docs", 0755);
    setMode(outside, 0755);
}

// A name that is not valid UTF-8 is copied, served and replaced by its
// bytes; the server's own listing links to it.
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
    for (int round = 0; round < 2; ++round) {  // the second start replaces the first copy
        const auto entry = start(reg, pkg);
        ASSERT_TRUE(entry.has_value()) << reg.lastFailure().toStdString();
        const QByteArray served = QFile::encodeName(m_root + "/bytes");
        struct stat st {};
        EXPECT_EQ(::lstat((served + "/bad-\xff.txt").constData(), &st), 0);
        EXPECT_EQ(::lstat((served + "/inner-\xfe.txt").constData(), &st), 0);
        EXPECT_EQ(httpGet(entry->port, "/bad-%ED%B3%BF.txt")->body, "raw");
        reg.stop(pkg);
    }
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

    // A server that dies at once (here: Python cannot find its library) is a
    // failure, not a running row.
    const QByteArray saved = qgetenv("PYTHONHOME");
    qputenv("PYTHONHOME", QFile::encodeName(m_scratch + "/no-python-here"));
    const auto dead = start(reg, pkg);
    qunsetenv("PYTHONHOME");
    if (!saved.isNull()) {
        qputenv("PYTHONHOME", saved);
    }
    EXPECT_FALSE(dead.has_value());
    EXPECT_FALSE(reg.info(pkg).has_value());
    EXPECT_EQ(reg.lastFailure(),
              QString("The server for port %1 stopped right after it started.").arg(m_firstPort));

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
        EXPECT_TRUE(reply->headers.contains(QByteArray("\r\nContent-type: ") + c.type + "\r\n"))
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
    // A python server of this user working elsewhere is not the package's.
    QDir().mkpath(m_scratch + "/plain");
    auto stranger =
        test::ChildProcess::start({"/usr/bin/python3", "-m", "http.server",
                                   QString::number(m_firstPort + 2), "--bind", "127.0.0.1"},
                                  m_scratch + "/plain");
    ASSERT_TRUE(stranger);
    ASSERT_TRUE(httpGet(m_firstPort + 2, "/").has_value());

    QuickHostRegistry later(m_root, m_firstPort, m_firstPort + 2);
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

}  // namespace
}  // namespace varnholt
