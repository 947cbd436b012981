#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "Files.h"
#include "Processes.h"
#include "exec/Shell.h"

using namespace varnholt;
using namespace std::chrono_literals;

namespace {

const QString kSh = QStringLiteral("/bin/sh");
const QString kPython = QStringLiteral("/usr/bin/python3");

QString sh(const QString& script, const std::optional<QString>& cwd = std::nullopt) {
    return shell(kSh, {"-c", script}, cwd);
}

using test::processAlive;
using test::waitUntilGone;

}  // namespace

TEST(Shell, ReturnsStandardOutputExactlyAsPrinted) {
    EXPECT_EQ(shell("/usr/bin/printf", {"abc\\n"}), "abc\n");
    EXPECT_EQ(sh("printf '  padded  \\n\\n'"), "  padded  \n\n");
    EXPECT_EQ(sh("printf 'caf\\303\\251 \\360\\237\\214\\220'"), QString::fromUtf8("café 🌐"));
}

TEST(Shell, StandardErrorNeverBecomesOutput) {
    EXPECT_EQ(sh("echo oops >&2"), "");
    EXPECT_EQ(sh("echo out; echo err >&2"), "out\n");
}

TEST(Shell, ExitStatusIsIgnored) {
    EXPECT_EQ(sh("printf x; exit 1"), "x");
    EXPECT_EQ(sh("exit 3"), "");
}

TEST(Shell, MissingWorkingFolderRunsNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString marker = dir.filePath("ran");
    EXPECT_EQ(sh("touch '" + marker + "'; echo ran", dir.filePath("missing")), "");
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(shellBackground(kSh, {"-c", "touch '" + marker + "'"}, dir.filePath("missing")), -1);
    QThread::msleep(100);
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(Shell, RunsInTheGivenWorkingFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString canonical = QDir(dir.path()).canonicalPath();
    EXPECT_EQ(shell("/bin/pwd", {"-P"}, dir.path()), canonical + "\n");
}

TEST(Shell, UnstartableProgramsGiveTheFallbacks) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notExecutable = dir.filePath("script.sh");
    test::writeFile(notExecutable, "#!/bin/sh\necho hi\n");

    for (const QString& program :
         {dir.filePath("missing"), notExecutable, QString(), dir.path(), QStringLiteral("sh")}) {
        SCOPED_TRACE(program.toStdString());
        EXPECT_EQ(shell(program, {}), "");
        EXPECT_EQ(shellBackground(program, {}), -1);
    }
}

TEST(Shell, ArgumentsArriveWholeAndUnexpanded) {
    const QStringList arguments = {
        "a file with spaces.txt", "host:8080", "100%", "%s %d", "$HOME", "*", "",
        "it's \"quoted\""};
    const QString script = "import sys\nfor a in sys.argv[1:]: print(repr(a))";
    QString expected;
    for (const QString& a : arguments) {
        QString r = a;
        r.replace("'", "\\'");
        expected += "'" + r + "'\n";
    }
    EXPECT_EQ(shell(kPython, QStringList{"-c", script} + arguments), expected);
}

TEST(Shell, ArgumentWithNulIsRefusedRatherThanCut) {
    EXPECT_EQ(shell("/bin/echo", {QString("keep") + QChar(u'\0') + "lost"}), "");
}

TEST(Shell, InvalidUtf8GivesEmptyText) {
    EXPECT_EQ(sh("printf 'ok\\377'"), "");
    EXPECT_EQ(sh("printf 'cut \\342\\202'"), "");   // truncated at the end
    EXPECT_EQ(sh("printf '\\300\\257'"), "");       // overlong "/"
    EXPECT_EQ(sh("printf '\\355\\240\\200'"), "");  // UTF-16 surrogate
    EXPECT_EQ(sh("printf 'euro \\342\\202\\254'"), QString::fromUtf8("euro €"));
}

TEST(Shell, LargeOutputsOnBothStreamsDoNotStall) {
    const QString script =
        "import sys\n"
        "sys.stderr.write('e' * (8 << 20)); sys.stderr.flush()\n"
        "sys.stdout.write('o' * (3 << 20))";
    const QString out = shell(kPython, {"-c", script}, std::nullopt, 60s);
    EXPECT_EQ(out.size(), 3 << 20);
    EXPECT_TRUE(out.startsWith("ooo"));
}

TEST(Shell, ChildInheritsNoDescriptorsAboveStandardError) {
    // Opened without O_CLOEXEC on purpose: the runner itself must keep it
    // from the child.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 3);
    const QString listing = shell("/bin/ls", {"/proc/self/fd"});
    ::close(leaked);
    QStringList fds = listing.split('\n', Qt::SkipEmptyParts);
    fds.sort();
    // ls itself opens one descriptor for the listing.
    EXPECT_LE(fds.size(), 4) << listing.toStdString();
    EXPECT_FALSE(fds.contains(QString::number(leaked))) << listing.toStdString();

    const int leakedAgain = ::open("/dev/null", O_RDONLY);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath("fds");
    const qint32 pid = shellBackground(kSh, {"-c", "ls /proc/$$/fd > '" + out + "'"});
    ::close(leakedAgain);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntilGone(pid, 5s));
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList backgroundFds =
        QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_FALSE(backgroundFds.contains(QString::number(leakedAgain)));
}

TEST(Shell, TimeLimitKillsTheChildAndGivesEmptyText) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(shell(kSh, {"-c", "echo partial; exec sleep 30"}, std::nullopt, 300ms), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    // The child that closes its output but lingers is also bounded.
    EXPECT_EQ(shell(kSh, {"-c", "exec >&-; exec sleep 30"}, std::nullopt, 300ms), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

TEST(Shell, TimeLimitAlsoEndsWhatTheChildStarted) {
    const QString pidFile = QDir::homePath() + "/grandchild.pid";
    EXPECT_EQ(shell(kSh, {"-c", "sleep 30 & echo $! > \"$0\"; wait", pidFile}, std::nullopt, 300ms),
              "");
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const qint32 grandchild = QString::fromUtf8(file.readAll()).trimmed().toInt();
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(waitUntilGone(grandchild, 3s));
}

TEST(Shell, TimeLimitLeavesFastCommandsAlone) {
    EXPECT_EQ(shell("/usr/bin/printf", {"fast"}, std::nullopt, 5s), "fast");
    EXPECT_EQ(probe("/usr/bin/printf", {"probe"}), "probe");
}

TEST(ShellBackground, ChildIsReapedWhenItEnds) {
    const qint32 pid = shellBackground(kSh, {"-c", "exit 0"});
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitUntilGone(pid, 3s));
}

TEST(ShellBackground, ReturnsAtOnceAndRunsInItsOwnSession) {
    const auto start = std::chrono::steady_clock::now();
    const qint32 pid = shellBackground("/bin/sleep", {"30"});
    ASSERT_GT(pid, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(processAlive(pid));
    EXPECT_EQ(::getsid(pid), pid);
    EXPECT_NE(::getsid(pid), ::getsid(0));
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(waitUntilGone(pid, 3s));
}

// The child's environment is ours with the given variables replaced; a
// bad entry starts nothing.
TEST(ShellBackground, GivenVariablesReplaceInheritedOnes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath("env");
    qputenv("VARNHOLT_KEPT", "kept");
    qputenv("VARNHOLT_SET", "old");
    const qint32 pid = shellBackground(kSh,
                                       {"-c",
                                        "printf '%s %s %s' \"$VARNHOLT_KEPT\" \"$VARNHOLT_SET\" "
                                        "\"$VARNHOLT_NEW\" > '" +
                                            out + "'"},
                                       std::nullopt, {"VARNHOLT_SET=new=1", "VARNHOLT_NEW=/a b"});
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitUntilGone(pid, 3s));
    EXPECT_EQ(test::readFile(out), "kept new=1 /a b");
    for (const QString& bad : {QString("=x"), QString("NOEQUALS"), QString("A=x") + QChar(0)}) {
        EXPECT_EQ(shellBackground(kSh, {"-c", "exit 0"}, std::nullopt, {bad}), -1);
    }
    qunsetenv("VARNHOLT_KEPT");
    qunsetenv("VARNHOLT_SET");
}

// runCommand keeps what shell() drops: the exit status and standard error.
TEST(RunCommand, KeepsExitStatusAndTheTailOfStandardError) {
    const CommandResult ok = runCommand(kSh, {"-c", "echo out; echo err >&2"});
    EXPECT_TRUE(ok.ran);
    EXPECT_EQ(ok.exitStatus, 0);
    EXPECT_EQ(ok.output, "out\n");
    EXPECT_EQ(ok.errorTail, "err\n");
    const CommandResult failed =
        runCommand(kPython, {"-c",
                             "import sys\nsys.stderr.write('e' * (1 << 20) + '\\nlast\\n')"
                             "\nprint('o' * (1 << 20))\nsys.exit(3)"});
    EXPECT_TRUE(failed.ran);
    EXPECT_EQ(failed.exitStatus, 3);
    EXPECT_EQ(failed.output.size(), (1 << 20) + 1);
    EXPECT_EQ(failed.errorTail.size(), CommandResult::kErrorTailBytes);
    EXPECT_TRUE(failed.errorTail.endsWith("\nlast\n"));
    EXPECT_EQ(runCommand(kSh, {"-c", "kill -9 $$"}).exitStatus, -1);
    EXPECT_FALSE(runCommand("/nonexistent/program", {}).ran);
}

TEST(ShellBackground, OutputGoesNowhere) {
    // A chatty child with nothing reading its output must not block.
    const qint32 pid =
        shellBackground(kPython, {"-c",
                                  "import sys\nfor _ in range(64): print('x' * 65536)\n"
                                  "sys.stderr.write('y' * (1 << 20))"});
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitUntilGone(pid, 10s));
}

TEST(ShellBackground, ReaperNeverStealsAConcurrentShellResult) {
    for (int round = 0; round < 20; ++round) {
        auto result = std::async(std::launch::async, [] {
            return shell(kSh, {"-c", "sleep 0.05; echo done; exit 7"});
        });
        std::vector<qint32> pids;
        for (int i = 0; i < 5; ++i) {
            pids.push_back(shellBackground(kSh, {"-c", "exit 0"}));
        }
        EXPECT_EQ(result.get(), "done\n");
        for (qint32 pid : pids) {
            ASSERT_GT(pid, 0);
            EXPECT_TRUE(waitUntilGone(pid, 3s));
        }
    }
}
