#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include "scan/native/NativeLinuxSource.h"
#include "scan/native/ProcFs.h"

namespace varnholt {
namespace {

// A hand-built /proc: pid folders with descriptor links, names and command
// lines, so ordering and unreadable processes can be tried without racing
// real ones.
class FakeProc {
public:
    FakeProc() { EXPECT_TRUE(m_dir.isValid()); }
    std::string root() const { return m_dir.path().toStdString(); }

    void descriptor(int pid, int fd, const QString& target) {
        const QString folder = QStringLiteral("%1/%2/fd").arg(m_dir.path()).arg(pid);
        QDir().mkpath(folder);
        const QString link = QStringLiteral("%1/%2").arg(folder).arg(fd);
        ASSERT_EQ(::symlink(target.toUtf8().constData(), link.toUtf8().constData()), 0);
    }
    void file(int pid, const QString& name, const QByteArray& content) {
        const QString folder = QStringLiteral("%1/%2").arg(m_dir.path()).arg(pid);
        QDir().mkpath(folder);
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    void cwd(int pid, const QString& target) {
        const QString folder = QStringLiteral("%1/%2").arg(m_dir.path()).arg(pid);
        QDir().mkpath(folder);
        ASSERT_EQ(::symlink(target.toUtf8().constData(), (folder + "/cwd").toUtf8().constData()),
                  0);
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

TEST(NativeProcFsTree, HoldersByPidThenDescriptorNumerically) {
    FakeProc proc;
    proc.descriptor(10, 12, "socket:[500]");
    proc.descriptor(10, 3, "socket:[501]");
    proc.descriptor(10, 4, "socket:[999]");  // not a listener
    proc.descriptor(10, 5, "/dev/null");
    proc.descriptor(9, 7, "socket:[500]");  // a forked worker sharing the socket
    proc.descriptor(9, 8, "pipe:[500]");
    proc.descriptor(200, 0, "socket:[502]");
    proc.file(300, "comm", "gone\n");  // no fd folder: unreadable, skipped
    QDir().mkpath(proc.path() + "/self/fd");
    QDir().mkpath(proc.path() + "/sys");

    const auto holders = ProcFs::holdersOf({500, 501, 502, 503}, proc.root());
    const QList<ProcFs::SocketHolder> expected = {
        {9, 7, 500}, {10, 3, 501}, {10, 12, 500}, {200, 0, 502}};
    EXPECT_EQ(holders, expected);
    EXPECT_TRUE(ProcFs::holdersOf({}, proc.root()).isEmpty());
    EXPECT_TRUE(ProcFs::holdersOf({500}, proc.root() + "/missing").isEmpty());
}

TEST(NativeProcFsTree, ProcessFactsWithoutAPriorListing) {
    FakeProc proc;
    proc.file(42, "comm", "python3\n");
    proc.file(42, "cmdline", QByteArray("python3\0-m\0http.server\0", 24));
    proc.cwd(42, "/home/me/Sites/blog");
    proc.file(43, "comm", "kworker/0:1\n");
    proc.file(43, "cmdline", QByteArray());

    NativeLinuxSource source(proc.root());
    EXPECT_EQ(source.fullCommand(42), "python3 -m http.server\n");
    EXPECT_EQ(source.workingDirectory(42), "/home/me/Sites/blog");
    EXPECT_EQ(source.fullCommand(43), "[kworker/0:1]\n");
    EXPECT_EQ(source.workingDirectory(43), "");
    EXPECT_EQ(ProcFs::commandName(42, proc.root()), "python3");
    for (qint32 pid : {0, -1, 44}) {
        EXPECT_EQ(source.fullCommand(pid), "") << pid;
        EXPECT_EQ(source.workingDirectory(pid), "") << pid;
        EXPECT_EQ(ProcFs::commandName(pid, proc.root()), std::nullopt) << pid;
    }
}

TEST(NativeProcFsTree, NothingCarriesOverToTheNextScan) {
    FakeProc proc;
    proc.file(42, "comm", "node\n");
    proc.file(42, "cmdline", QByteArray("node\0old.js\0", 12));
    NativeLinuxSource source(proc.root());
    EXPECT_EQ(source.fullCommand(42), "node old.js\n");

    // The pid now names another program; a new listing must not answer with
    // what the previous scan read.
    proc.file(42, "cmdline", QByteArray("node\0new.js\0", 12));
    source.listeningSockets();
    EXPECT_EQ(source.fullCommand(42), "node new.js\n");
}

}  // namespace
}  // namespace varnholt
