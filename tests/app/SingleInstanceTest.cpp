#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSignalSpy>

#include "AppTestSupport.h"
#include "TempHome.h"
#include "app/SingleInstance.h"

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
