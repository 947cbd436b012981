#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "Files.h"

namespace varnholt::test {

// A hand-built /proc: pid folders with descriptor links, names, stat lines and
// command lines, so ordering, unreadable processes and reused pids can be
// tried without racing real ones.
class FakeProc {
public:
    FakeProc() { EXPECT_TRUE(m_dir.isValid()); }
    std::string root() const { return m_dir.path().toStdString(); }
    QString path() const { return m_dir.path(); }

    void descriptor(int pid, int fd, const QString& target) {
        const QString folder = QStringLiteral("%1/%2/fd").arg(m_dir.path()).arg(pid);
        QDir().mkpath(folder);
        const QString link = QStringLiteral("%1/%2").arg(folder).arg(fd);
        ::unlink(link.toUtf8().constData());  // dup2: the number now names another file
        ASSERT_EQ(::symlink(target.toUtf8().constData(), link.toUtf8().constData()), 0);
    }
    void closeDescriptor(int pid, int fd) {
        ASSERT_EQ(
            ::unlink(QStringLiteral("%1/%2/fd/%3").arg(m_dir.path()).arg(pid).arg(fd).toUtf8()), 0);
    }
    void file(int pid, const QString& name, const QByteArray& content) {
        writeFile(QStringLiteral("%1/%2/%3").arg(m_dir.path()).arg(pid).arg(name), content);
    }
    // A process as the owner cache tells it apart: name, parent, start time.
    void process(int pid, const QByteArray& comm, int parent, quint64 startTicks) {
        file(pid, "comm", comm + "\n");
        file(pid, "stat",
             QStringLiteral("%1 (%2) S %3 1 1 0 -1 4194304 0 0 0 0 0 0 0 0 20 0 1 0 %4 0 0\n")
                 .arg(pid)
                 .arg(QString::fromUtf8(comm))
                 .arg(parent)
                 .arg(startTicks)
                 .toUtf8());
    }
    // The process ended: its folder goes, as it does in /proc.
    void end(int pid) {
        QDir(QStringLiteral("%1/%2").arg(m_dir.path()).arg(pid)).removeRecursively();
    }
    void netTable(const QString& name, const QByteArray& content) {
        writeFile(m_dir.path() + "/net/" + name, content);
    }
    void cwd(int pid, const QString& target) {
        const QString folder = QStringLiteral("%1/%2").arg(m_dir.path()).arg(pid);
        QDir().mkpath(folder);
        ASSERT_EQ(::symlink(target.toUtf8().constData(), (folder + "/cwd").toUtf8().constData()),
                  0);
    }

private:
    QTemporaryDir m_dir;
};

}  // namespace varnholt::test
