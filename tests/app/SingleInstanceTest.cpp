#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSignalSpy>

#include "AppTestSupport.h"
#include "TempHome.h"
#include "app/RuntimeFolder.h"
#include "app/SingleInstance.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace varnholt {
namespace {

using namespace std::chrono_literals;

TEST(SingleInstanceTest, ASecondStartAsksTheFirstToShowItsPanel) {
    test::TempHome home;
    const QString socket = home.path() + "/runtime/varnholt-control.sock";
    SingleInstance first(socket);
    ASSERT_TRUE(first.claim());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    SingleInstance second(socket);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(test::waitUntil([&] { return shown.count() == 1; }, 3s));
}

TEST(SingleInstanceTest, ALeftoverSocketFileDoesNotBlockTheStart) {
    test::TempHome home;
    const QString socket = home.path() + "/runtime/varnholt-control.sock";
    test::writeFile(socket, "stale");
    SingleInstance instance(socket);
    EXPECT_TRUE(instance.claim());
    SingleInstance later(socket);
    EXPECT_FALSE(later.claim());
}

TEST(SingleInstanceTest, TheSocketLivesInTheRuntimeFolder) {
    EXPECT_TRUE(
        SingleInstance::defaultSocketPath().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
}

TEST(SingleInstanceTest, AFolderAtTheSocketPathStillKeepsASecondInstanceOut) {
    test::TempHome home;
    const QString socket = home.path() + "/runtime/varnholt-control.sock";
    test::writeFile(socket + "/undeletable", "x");
    SingleInstance first(socket);
    ASSERT_TRUE(first.claim());
    SingleInstance second(socket);
    EXPECT_FALSE(second.claim());
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Sessions without a runtime folder (su, ssh) get a folder of the user's own
// in the temporary folder; a shared or planted one is never used.
TEST(SingleInstanceTest, WithoutARuntimeFolderAPrivateOneOfTheUsersOwnIsUsed) {
    test::TempHome home;
    const QByteArray savedTmp = qgetenv("TMPDIR");
    const QString tmp = home.scratch() + "/tmp";
    QDir().mkpath(tmp);
    qputenv("TMPDIR", QFile::encodeName(tmp));
    const QString own = tmp + QStringLiteral("/varnholt-control-%1").arg(::geteuid());

    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(RuntimeFolder::privateFolder(), own);
    EXPECT_EQ(modeOf(own), 0700);
    EXPECT_EQ(SingleInstance::defaultSocketPath(), own + "/varnholt-control.sock");

    // A runtime folder others may write into is not private; a folder of
    // ours that lost its mode gets it back.
    const QString shared = home.scratch() + "/shared";
    QDir().mkpath(shared);
    ::chmod(QFile::encodeName(shared).constData(), 0777);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(shared));
    ::chmod(QFile::encodeName(own).constData(), 0755);
    EXPECT_EQ(RuntimeFolder::privateFolder(), own);
    EXPECT_EQ(modeOf(own), 0700);

    // A link planted at the folder's name is never followed.
    QDir(own).removeRecursively();
    ASSERT_TRUE(QFile::link(shared, own));
    EXPECT_EQ(RuntimeFolder::privateFolder(), "");
    EXPECT_EQ(SingleInstance::defaultSocketPath(), "");
    qputenv("TMPDIR", savedTmp);
}

// Another user listening where the app asks must neither hear "show" nor
// make this start step aside.
TEST(SingleInstanceTest, AListenerOfAnotherUserIsNeverAsked) {
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    // The system's Python: one under root's home is out of the other user's reach.
    const QString python = "/usr/bin/python3";
    if (::geteuid() != 0 || setpriv.isEmpty() || !QFile::exists(python)) {
        GTEST_SKIP() << "needs root and setpriv to listen as another user";
    }
    QTemporaryDir shared(QDir::tempPath() + "/varnholt-shared-XXXXXX");
    ::chmod(QFile::encodeName(shared.path()).constData(), 0777);
    const QString socket = shared.path() + "/varnholt-control.sock";
    QDir().mkpath(socket + ".lock");  // no lock to be had: the socket decides
    QProcess other;
    other.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", python, "-c",
                          "import socket,sys,time\n"
                          "s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen()\n"
                          "time.sleep(30)",
                          socket});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(socket); }, 5s));

    SingleInstance instance(socket);
    EXPECT_TRUE(instance.claim());
    test::endProcess(static_cast<qint32>(other.processId()));
    other.waitForFinished(3000);
}

// The real program: the second start exits 0 at once while the first runs on.
TEST(SingleInstanceTest, TheProgramStartedTwiceLeavesOneRunning) {
    test::TempHome home;
    const QString program = QStringLiteral(VARNHOLT_BINARY_DIR) + "/src/app/varnholt-control";
    ASSERT_TRUE(QFile::exists(program));
    QProcess first;
    first.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = home.path() + "/runtime/varnholt-control.sock";
    EXPECT_TRUE(test::waitUntil([&] { return QFile::exists(socket); }, 10s));

    QProcess second;
    second.start(program, {});
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    test::endProcess(static_cast<qint32>(first.processId()));
    first.waitForFinished(3000);
}

}  // namespace
}  // namespace varnholt
