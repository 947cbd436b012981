#include <gtest/gtest.h>

#include <QDir>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <tuple>

#include <sys/inotify.h>
#include <unistd.h>

#include "Files.h"
#include "scan/HostScanner.h"
#include "scan/NativeLinuxSource.h"

namespace varnholt {
namespace {

// Which entries of watched folders were opened, as inotify saw it: proof
// that a listing never looked into a process it was told to pass over.
class OpenWatch {
public:
    OpenWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) { EXPECT_GE(m_fd, 0); }
    ~OpenWatch() { ::close(m_fd); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    void watch(const QString& folder, const QString& label) {
        const int wd = ::inotify_add_watch(m_fd, folder.toUtf8().constData(), IN_OPEN);
        ASSERT_GE(wd, 0) << folder.toStdString();
        m_labels.insert(wd, label);
    }
    // "label/entry" for each entry opened since the last call.
    QSet<QString> opened() {
        QSet<QString> seen;
        alignas(inotify_event) char buffer[4096];
        ssize_t length;
        while ((length = ::read(m_fd, buffer, sizeof(buffer))) > 0) {
            for (char* at = buffer; at < buffer + length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0) {
                    seen.insert(m_labels.value(event->wd) + "/" + QString::fromUtf8(event->name));
                }
                at += sizeof(inotify_event) + event->len;
            }
        }
        return seen;
    }

private:
    int m_fd;
    QHash<int, QString> m_labels;
};

QStringList describe(const QList<ListeningSocket>& sockets) {
    QStringList lines;
    for (const ListeningSocket& s : sockets) {
        lines << QStringLiteral("%1 %2 %3").arg(s.pid).arg(s.command, s.name);
    }
    return lines;
}

TEST(NativeCommandFilter, NamesFilterTheHoldersAndSteadyListingsOpenNoDescriptors) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    const auto descriptor = [&root](int pid, int fd, int inode) {
        const QString folder = QStringLiteral("%1/%2/fd").arg(root).arg(pid);
        QDir().mkpath(folder);
        const QByteArray target = "socket:[" + QByteArray::number(inode) + "]";
        ASSERT_EQ(
            ::symlink(target.constData(), QStringLiteral("%1/%2").arg(folder).arg(fd).toUtf8()), 0);
    };
    const auto comm = [&root](int pid, const QByteArray& name) {
        test::writeFile(QStringLiteral("%1/%2/comm").arg(root).arg(pid), name);
    };
    // Listeners on 127.0.0.1:8000, *:3000, *:5432, *:8080 and *:9000.
    QByteArray table =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt"
        "   uid  timeout inode\n";
    for (const auto& [address, inode] : {std::pair{"0100007F:1F40", 500},
                                         {"00000000:0BB8", 501},
                                         {"00000000:1538", 502},
                                         {"00000000:1F90", 503},
                                         {"00000000:2328", 504}}) {
        table += QStringLiteral(
                     "   0: %1 00000000:0000 0A 00000000:00000000 00:00000000 "
                     "00000000  1000  0 %2 1 0\n")
                     .arg(QLatin1String(address))
                     .arg(inode)
                     .toLatin1();
    }
    test::writeFile(root + "/net/tcp", table);

    comm(10, "python3\n");
    descriptor(10, 4, 501);
    descriptor(10, 3, 500);
    comm(20, "postgres\n");
    descriptor(20, 5, 502);
    descriptor(30, 6, 503);  // no name: the process has ended
    // Longer than any name the kernel keeps; still read whole.
    const QByteArray longName = "python-" + QByteArray(70, 'x');
    comm(40, longName + "\n");
    descriptor(40, 7, 504);

    NativeLinuxSource source(root.toStdString(), false);
    const QStringList everything = {"10 python3 127.0.0.1:8000", "10 python3 *:3000",
                                    "20 postgres *:5432", "40 " + longName + " *:9000"};
    EXPECT_EQ(describe(source.listeningSockets()), everything);  // the first walks all
    EXPECT_EQ(describe(source.listeningSockets(CommandFilter())), everything);

    OpenWatch watch;
    for (const int pid : {10, 20, 30, 40}) {
        watch.watch(QStringLiteral("%1/%2").arg(root).arg(pid), QString::number(pid));
    }
    QStringList asked;
    const CommandFilter onlyPython = [&asked](const QString& command) {
        asked << command;
        return command.contains("python");
    };
    EXPECT_EQ(describe(source.listeningSockets(onlyPython)),
              (QStringList{"10 python3 127.0.0.1:8000", "10 python3 *:3000",
                           "40 " + longName + " *:9000"}));
    // Once the holders are known, a listing opens no descriptor folder: each
    // holder's descriptor is confirmed by one readlink, and only the names of
    // holders are read, afresh, for the filter to judge each holder by.
    QStringList names = {"python3", "python3", "postgres", longName};
    names.sort();
    asked.sort();
    EXPECT_EQ(asked, names);
    EXPECT_EQ(watch.opened(), (QSet<QString>{"10/comm", "20/comm", "40/comm"}));
}

TEST(NativeCommandFilter, SocketsNobodyReadableHoldsAreHiddenListenersWithTheirOwner) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    // *:3000 is ours (pid 10); *:631 root's and *:8080 root's docker-proxy
    // (pid 50, whose descriptors we may not read but whose command line we
    // may); 127.0.0.1:5432 another user's.
    QByteArray table =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when "
        "retrnsmt   uid  timeout inode\n";
    for (const auto& [address, uid, inode] : {std::tuple{"00000000:0BB8", 1000, 501},
                                              {"00000000:0277", 0, 502},
                                              {"00000000:1F90", 0, 503},
                                              {"0100007F:1538", 106, 504}}) {
        table += QStringLiteral(
                     "   0: %1 00000000:0000 0A 00000000:00000000 00:00000000 "
                     "00000000  %2  0 %3 1 0\n")
                     .arg(QLatin1String(address))
                     .arg(uid)
                     .arg(inode)
                     .toLatin1();
    }
    test::writeFile(root + "/net/tcp", table);
    test::writeFile(root + "/10/comm", "node\n");
    QDir().mkpath(root + "/10/fd");
    ASSERT_EQ(::symlink("socket:[501]", (root + "/10/fd/3").toUtf8()), 0);
    test::writeFile(root + "/50/comm", "docker-proxy\n");
    static const char cmdline[] =
        "/usr/bin/docker-proxy\0-proto\0tcp\0-host-ip\0000.0.0.0\0-host-port\0008080\0"
        "-container-ip\000172.17.0.2\0-container-port\00080";
    test::writeFile(root + "/50/cmdline", QByteArray(cmdline, sizeof(cmdline)));

    NativeLinuxSource source(root.toStdString(), false);
    EXPECT_EQ(describe(source.listeningSockets()), QStringList{"10 node *:3000"});
    const auto hidden = source.hiddenListeners();
    EXPECT_EQ(describe(hidden),
              (QStringList{"0  *:631", "0 docker-proxy *:8080", "0  127.0.0.1:5432"}));
    QList<std::optional<quint32>> owners;
    for (const ListeningSocket& s : hidden) {
        owners << s.ownerUid;
    }
    EXPECT_EQ(owners, (QList<std::optional<quint32>>{0u, 0u, 106u}));

    EXPECT_EQ(dockerProxyHostPort("/usr/bin/docker-proxy -proto tcp -host-ip 0.0.0.0 "
                                  "-host-port 8080 -container-ip 172.17.0.2 -container-port 80\n"),
              8080);
    EXPECT_EQ(dockerProxyHostPort("docker-proxy -host-port\n"), std::nullopt);
    EXPECT_EQ(dockerProxyHostPort("docker-proxy -host-port 99999"), std::nullopt);
}

// Hands back what it was given whatever the hint, as the lsof source does,
// and keeps the hint it was passed.
class HintRecordingSource : public ProcessSource {
public:
    QList<ListeningSocket> sockets;
    std::optional<CommandFilter> hint;

    QList<ListeningSocket> listeningSockets() override { return sockets; }
    QList<ListeningSocket> listeningSockets(const CommandFilter& mayOwnServer) override {
        hint = mayOwnServer;
        return sockets;
    }
    QString fullCommand(qint32) override { return QStringLiteral("server\n"); }
    QString workingDirectory(qint32) override { return QStringLiteral("/home/me/site"); }
};

TEST(NativeCommandFilter, ScanHintsWithItsWhitelistAndStillAppliesIt) {
    HintRecordingSource source;
    source.sockets = {{7, "postgres", "*:5432"}, {8, "node", "*:3000"}};
    const auto servers = HostScanner::scan(source);
    ASSERT_EQ(servers.size(), 1);  // the hint ignored, the rules still drop postgres
    EXPECT_EQ(servers[0].pid, 8);

    ASSERT_TRUE(source.hint && *source.hint);
    const struct {
        const char* command;
        bool passes;
    } cases[] = {{"Python3", true},       {"postgres", false}, {"http-server", true},
                 {"NODE", true},          {"sshd", false},     {"", false},
                 {"nginx: worker", true}, {"systemd", false},  {"jav", false}};
    for (const auto& c : cases) {
        EXPECT_EQ((*source.hint)(QString::fromUtf8(c.command)), c.passes) << c.command;
    }
}

}  // namespace
}  // namespace varnholt
