// Telling the user what the network can reach: the tray's badge and tooltip,
// one notice per server that opens, the desktop's notification service on a
// private bus, and the login entry.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <unistd.h>

#include "ChildProcess.h"
#include "PanelFixture.h"
#include "app/desktop/Autostart.h"
#include "app/desktop/AutostartEntry.h"
#include "app/desktop/DesktopNotifier.h"
#include "app/desktop/ExposureMonitor.h"
#include "app/desktop/PreferenceItems.h"
#include "app/desktop/ReceivedNotices.h"
#include "store/Store.h"

namespace varnholt {

// A stand-in for the desktop's notification service, on a private bus.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QString appName;

public slots:
    Q_SCRIPTABLE uint Notify(const QString& app, uint, const QString&, const QString& summary,
                             const QString&, const QStringList&, const QVariantMap&, int) {
        appName = app;
        summaries << summary;
        return static_cast<uint>(summaries.size());
    }
};

namespace {

using namespace std::chrono_literals;

HostedPort net(qint32 pid, qint64 port, const QString& name) {
    return {pid, "node", port, "NET", name};
}

TEST(ExposureTracker, AnnouncesEachNewNetServerOnceAndNeverWhatWasThereAtStart) {
    QSet<qint32> alive{10, 11, 12, 13};
    ExposureTracker tracker([&alive](qint32 pid) { return alive.contains(pid); });
    const HostedPort shop = net(11, 3000, "shop");
    const HostedPort blog = net(12, 4000, "blog");
    const struct {
        const char* step;
        QList<HostedPort> scan;
        QStringList announced;
    } steps[] = {
        {"present at start", {net(10, 8000, "old")}, {}},
        {"a new NET server", {net(10, 8000, "old"), shop}, {"shop"}},
        {"still running", {shop}, {}},
        {"a failed scan lists nothing", {}, {}},
        {"back after the failed scan", {net(10, 8000, "old"), shop}, {}},
        {"LOCAL and pid-less servers", {{13, "node", 5173, "LOCAL", "app"}, net(0, 9000, "?")}, {}},
        {"two at once", {shop, blog, net(10, 8001, "old")}, {"blog", "old"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        QStringList names;
        for (const HostedPort& server : tracker.update(step.scan)) {
            names << server.friendlyName;
        }
        EXPECT_EQ(names, step.announced);
    }
    // A new process on the same pid and port is a new server.
    alive.remove(11);
    EXPECT_TRUE(tracker.update({}).isEmpty());
    alive.insert(11);
    EXPECT_EQ(tracker.update({shop}).size(), 1);

    EXPECT_TRUE(
        ExposureTracker::processAlive(static_cast<qint32>(QCoreApplication::applicationPid())));
    EXPECT_FALSE(ExposureTracker::processAlive(0));
    EXPECT_FALSE(ExposureTracker::processAlive(-1));
}

TEST(ExposureTracker, ContainersAndOtherUsersProgramsAreAnnouncedByPort) {
    ExposureTracker tracker([](qint32) { return false; });
    HostedPort forwarded{0, "docker-proxy", 8080, "NET", "container"};
    forwarded.kind = HostedPort::Kind::Container;
    HostedPort named = forwarded;
    named.friendlyName = "web (nginx:1.27)";
    named.containerId = "3f4e8a1b2c9d";
    HostedPort cups{0, "", 631, "NET", "another user's program (root)"};
    cups.kind = HostedPort::Kind::OtherUser;
    HostedPort loopbackDb{0, "", 5432, "LOCAL", "another user's program (postgres)"};
    loopbackDb.kind = HostedPort::Kind::OtherUser;
    const struct {
        const char* step;
        QList<HostedPort> scan;
        QStringList announced;
    } steps[] = {
        {"present at start", {loopbackDb}, {}},
        {"a container and a root daemon open",
         {forwarded, cups, loopbackDb},
         {"container", "cups"}},
        {"the engine answers: same port, no second notice", {named, cups}, {}},
        {"a failed scan forgets nothing", {}, {}},
        {"still there", {named, cups}, {}},
        {"the container stopped", {cups}, {}},
        {"it runs again", {named, cups}, {"web (nginx:1.27)"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        QStringList names;
        for (const HostedPort& server : tracker.update(step.scan)) {
            names << (server.port == 631 ? QString("cups") : server.friendlyName);
        }
        EXPECT_EQ(names, step.announced);
    }
}

TEST(ExposureTracker, MessagesAndTooltip) {
    const HostedPort shop = net(11, 3000, "shop");
    EXPECT_EQ(exposureMessage(shop, "192.168.1.23", "Home Net"),
              "shop is now reachable from Home Net at http://192.168.1.23:3000/");
    EXPECT_EQ(exposureMessage(shop, "192.168.1.23", ""),
              "shop is now reachable from the network at http://192.168.1.23:3000/");
    EXPECT_EQ(exposureMessage(shop, "not connected", ""),
              "shop is now reachable from the network on port 3000");
    // A private share is reached only by its link, which a notice (seen on a
    // locked screen too) does not show.
    HostedPort secret = net(15, 1010, "Trip");
    secret.linkPath = "s/AAAAAAAAAAAAAAAAAAAAAA/";
    EXPECT_EQ(exposureMessage(secret, "192.168.1.23", "Home Net"),
              "Trip is now reachable from Home Net by its private link on port 1010");
    EXPECT_EQ(exposureToolTip({}), "Varnholt");
    EXPECT_EQ(exposureToolTip({shop, {12, "node", 5173, "LOCAL", "app"}, net(13, 8080, "api")}),
              "Varnholt \u2014 reachable from the network:\nshop :3000\napi :8080");
    // A name cannot add lines to the notice or the tooltip.
    const HostedPort odd = net(14, 9000, "two\nlines");
    EXPECT_EQ(exposureMessage(odd, "not connected", "Cafe\x1b"),
              "two\\nlines is now reachable from Cafe\\x1b on port 9000");
    EXPECT_EQ(exposureToolTip({odd}),
              "Varnholt \u2014 reachable from the network:\ntwo\\nlines :9000");
}

// Past three at once, one notice gives the count and the first three; long
// names are cut so a notice or a tooltip line stays readable.
TEST(ExposureTracker, ManyServersAtOnceMakeOneNoticeAndLongNamesAreCut) {
    QList<HostedPort> fresh;
    for (int i = 0; i < 200; ++i) {
        fresh << net(100 + i, 3000 + i, QStringLiteral("s%1").arg(i));
    }
    EXPECT_EQ(exposureNotices(fresh.mid(0, 3), "192.168.1.23", "Home Net").size(), 3);
    EXPECT_EQ(exposureNotices(fresh, "192.168.1.23", "Home Net"),
              QStringList{"200 servers are now reachable from Home Net: s0 :3000, s1 :3001, "
                          "s2 :3002, \u2026"});
    EXPECT_EQ(exposureNotices(fresh.mid(0, 4), "not connected", "")[0],
              "4 servers are now reachable from the network: s0 :3000, s1 :3001, s2 :3002, "
              "\u2026");

    const QString huge(20000, QLatin1Char('x'));
    EXPECT_EQ(shortName(huge).size(), kNoticeNameLength);
    EXPECT_TRUE(shortName(huge).endsWith(QChar(0x2026)));
    EXPECT_LT(exposureMessage(net(1, 80, huge), "192.168.1.23", huge).size(), 300);
    const QStringList tip = exposureToolTip(fresh).split('\n');
    EXPECT_EQ(tip.size(), 1 + kToolTipServers + 1);
    EXPECT_EQ(tip.last(), "and 190 more");
    EXPECT_LT(exposureToolTip({net(1, 80, huge)}).size(), 200);
}

TEST(ReceivedNotices, OneEachUpToThreeThenOneThatCounts) {
    const ReceivedFile photo{"photo.jpg", 3200000, "192.168.1.23"};
    EXPECT_EQ(receivedNotices({photo}),
              QStringList{"Received photo.jpg (3.2 MB) from 192.168.1.23"});
    EXPECT_EQ(receivedNotices({photo, photo, photo}).size(), 3);
    EXPECT_EQ(receivedNotices({photo, photo, photo, photo}),
              QStringList{"Received 4 files (13 MB) from 192.168.1.23"});
    EXPECT_EQ(receivedNotices({photo, photo, photo, {"a", 1, "::1"}}),
              QStringList{"Received 4 files (9.6 MB) from 2 devices"});
    EXPECT_LT(receivedNotices({{QString(5000, 'x'), 1, "::1"}})[0].size(), 120);
}

class ExposureMonitorTest : public test::PanelFixture {};

TEST_F(ExposureMonitorTest, TrayFollowsTheRefreshAndNoticesHonourTheSetting) {
    QSystemTrayIcon tray;
    QStringList sent;
    auto* monitor = new ExposureMonitor(
        &tray, [&sent](const QString& text) { sent << text; },
        ExposureTracker([](qint32) { return true; }));
    exposure = monitor;
    build();
    monitor->setParent(delegate.get());

    data = sampleData();  // photos :8000 and blog :9292 are NET
    delegate->refresh();
    EXPECT_EQ(monitor->badgeCount(), 2);
    EXPECT_EQ(tray.toolTip(),
              "Varnholt \u2014 reachable from the network:\nphotos :8000\nblog :9292");
    EXPECT_TRUE(sent.isEmpty());  // present at start

    data.ssid = "Home Net";
    data.servers.append(net(4300, 3000, "shop"));
    delegate->refresh();
    delegate->refresh();
    EXPECT_EQ(sent,
              QStringList{"shop is now reachable from Home Net at http://192.168.1.20:3000/"});
    EXPECT_EQ(monitor->badgeCount(), 3);

    Store::setNotifyWhenExposed(false);
    data.servers.append(net(4301, 3001, "quiet"));
    delegate->refresh();
    Store::setNotifyWhenExposed(true);
    delegate->refresh();  // already known: turning notices on announces nothing old
    EXPECT_EQ(sent.size(), 1);

    data.servers.clear();
    delegate->refresh();
    EXPECT_EQ(monitor->badgeCount(), 0);
    EXPECT_EQ(tray.toolTip(), "Varnholt");
}

// A bus of the test's own, so nothing reaches the user's desktop.
class PrivateBus {
public:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) {
            return;
        }
        m_daemon.start(daemon, {"--session", "--nofork", "--nopidfile", "--print-address"});
        if (m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000)) {
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        }
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("client");
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

TEST(DesktopNotifier, GoesThroughTheNotificationServiceElseFallsBack) {
    test::TempHome home;
    PrivateBus bus;
    if (bus.address().isEmpty()) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    QDBusConnection service = QDBusConnection::connectToBus(bus.address(), "service");
    ASSERT_TRUE(QDBusConnection::connectToBus(bus.address(), "client").isConnected());
    QStringList fallbacks;
    DesktopNotifier notifier([&](const QString&, const QString& text) { fallbacks << text; },
                             "client");

    // No service on the bus: the tray's message shows it instead.
    notifier.notify("first");
    ASSERT_TRUE(test::waitUntil([&] { return !fallbacks.isEmpty(); }));
    EXPECT_EQ(fallbacks, QStringList{"first"});

    FakeNotifications fake;
    ASSERT_TRUE(service.registerObject("/org/freedesktop/Notifications", &fake,
                                       QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    notifier.notify("shop is now reachable from Home Net at http://192.168.1.23:3000/");
    ASSERT_TRUE(test::waitUntil([&] { return !fake.summaries.isEmpty(); }));
    EXPECT_EQ(fake.summaries,
              QStringList{"shop is now reachable from Home Net at http://192.168.1.23:3000/"});
    EXPECT_EQ(fake.appName, "Varnholt Control");
    EXPECT_EQ(fallbacks.size(), 1);

    // Without any bus at all the fallback runs at once.
    DesktopNotifier unconnected([&](const QString&, const QString& text) { fallbacks << text; },
                                "no-such-connection");
    unconnected.notify("third");
    EXPECT_EQ(fallbacks.last(), "third");
}

TEST(Autostart, EntryIsWrittenRemovedAndReadBack) {
    test::TempHome home;
    const QString config = home.scratch() + "/config";
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    EXPECT_EQ(Autostart::entryPath(), config + "/autostart/varnholt-control.desktop");
    EXPECT_FALSE(Autostart::isEnabled());
    ASSERT_TRUE(Autostart::setEnabled(true));
    EXPECT_TRUE(Autostart::isEnabled());
    const QString written = QString::fromUtf8(test::readFile(Autostart::entryPath()));
    EXPECT_TRUE(written.contains(
        "\nExec=" + AutostartEntry::execValue(QCoreApplication::applicationFilePath()) + "\n"));
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty()) {
        QProcess check;
        check.start(validator, {Autostart::entryPath()});
        ASSERT_TRUE(check.waitForFinished(10000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    }
    ASSERT_TRUE(Autostart::setEnabled(false));
    EXPECT_FALSE(QFile::exists(Autostart::entryPath()));
    EXPECT_TRUE(Autostart::setEnabled(false));  // already off

    // A desktop that turned the entry off without deleting it.
    test::writeFile(Autostart::entryPath(), "[Desktop Entry]\nType=Application\nHidden=true\n");
    EXPECT_FALSE(Autostart::isEnabled());
    EXPECT_FALSE(AutostartEntry::enabled("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n"));
    EXPECT_TRUE(AutostartEntry::enabled("[Other]\nHidden=true\n[Desktop Entry]\nHidden=false\n"));

    // A relative XDG_CONFIG_HOME is ignored, an unwritable folder reported.
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(Autostart::entryPath(), home.path() + "/.config/autostart/varnholt-control.desktop");
    QFile::setPermissions(home.path() + "/.config", QFile::ReadOwner | QFile::ExeOwner);
    if (::geteuid() != 0) {
        EXPECT_FALSE(Autostart::setEnabled(true));
        EXPECT_FALSE(Autostart::isEnabled());
    }
    QFile::setPermissions(home.path() + "/.config",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// An entry of that name that the user made is theirs: turned off and on as
// desktops do, never replaced or deleted, and one that starts another
// program neither shows as on nor is taken over.
TEST(Autostart, TheUsersOwnEntryIsNeverOverwrittenOrDeleted) {
    test::TempHome home;
    const QString self = AutostartEntry::execValue(QCoreApplication::applicationFilePath());
    const QString mine = "[Desktop Entry]\nType=Application\nName=My start\nExec=" + self +
                         " --quiet\nX-Mine=kept\n";
    test::writeFile(Autostart::entryPath(), mine.toUtf8());
    EXPECT_TRUE(Autostart::isEnabled());
    ASSERT_TRUE(Autostart::setEnabled(false));
    QString now = QString::fromUtf8(test::readFile(Autostart::entryPath()));
    EXPECT_TRUE(now.contains("Hidden=true"));
    EXPECT_TRUE(now.contains("X-Mine=kept") && now.contains(" --quiet"));
    EXPECT_FALSE(Autostart::isEnabled());
    ASSERT_TRUE(Autostart::setEnabled(true));
    now = QString::fromUtf8(test::readFile(Autostart::entryPath()));
    EXPECT_TRUE(Autostart::isEnabled());
    EXPECT_TRUE(now.contains("X-Mine=kept") && now.contains(" --quiet"));
    EXPECT_FALSE(now.contains(AutostartEntry::kWrittenKey));

    const QByteArray other = "[Desktop Entry]\nType=Application\nExec=/usr/bin/other-app\n";
    test::writeFile(Autostart::entryPath(), other);
    EXPECT_FALSE(Autostart::isEnabled());
    QString why;
    EXPECT_FALSE(Autostart::setEnabled(true, &why));
    EXPECT_TRUE(why.contains("/usr/bin/other-app")) << why.toStdString();
    EXPECT_TRUE(Autostart::setEnabled(false));
    EXPECT_EQ(test::readFile(Autostart::entryPath()), other);

    // A path the launcher would mangle is refused, not written half-right.
    for (const QString path : {"/opt/100%/run", "/opt/a\tb/run", "/bin/a\nb"}) {
        EXPECT_FALSE(AutostartEntry::unrunnableBecause(path).isEmpty()) << path.toStdString();
        EXPECT_EQ(AutostartEntry::text(path), "");
    }
    EXPECT_TRUE(AutostartEntry::unrunnableBecause("/home/ana/my apps/run").isEmpty());
}

TEST(Autostart, ExecValuesAreQuotedAsTheFormatAsks) {
    const struct {
        QString path;
        QString exec;
    } cases[] = {
        {"/usr/bin/varnholt-control", "/usr/bin/varnholt-control"},
        {"/home/ana/my apps/varnholt-control", "\"/home/ana/my apps/varnholt-control\""},
        {"/opt/a$b\"c/run", "\"/opt/a\\\\$b\\\\\"c/run\""},
        {"/opt/100%/run", "/opt/100%%/run"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AutostartEntry::execValue(c.path), c.exec) << c.path.toStdString();
    }
    EXPECT_EQ(AutostartEntry::text("/bin/a\nb"), "");
}

TEST(PreferenceItems, MenuItemsStoreTheirStateAndReadItBackOnOpening) {
    test::TempHome home;
    QMenu menu;
    QStringList alerts;
    int listingChanges = 0;
    addPreferenceItems(
        &menu, [&](const QString& message, const QString&) { alerts << message; },
        [&] { ++listingChanges; });
    ASSERT_EQ(menu.actions().size(), 4);
    QAction* notify = menu.actions()[0];
    QAction* login = menu.actions()[1];
    QAction* every = menu.actions()[2];
    QAction* privately = menu.actions()[3];
    EXPECT_EQ(privately->text(), "Share New Hosts Privately");
    EXPECT_FALSE(privately->isChecked());  // a fresh install shares as before
    privately->trigger();
    EXPECT_TRUE(Store::shareNewHostsPrivately());
    Store::setShareNewHostsPrivately(false);
    emit menu.aboutToShow();
    EXPECT_FALSE(privately->isChecked());
    EXPECT_EQ(every->text(), "Show Every Listening Program");
    EXPECT_FALSE(every->isChecked());
    every->trigger();
    EXPECT_TRUE(Store::showEveryListener());
    EXPECT_EQ(listingChanges, 1);
    Store::setShowEveryListener(false);
    emit menu.aboutToShow();
    EXPECT_FALSE(every->isChecked());
    EXPECT_EQ(listingChanges, 1);  // reading it back changes nothing
    EXPECT_EQ(notify->text(), "Notify When a Server Opens to the Network");
    EXPECT_EQ(login->text(), "Start at Login");
    EXPECT_TRUE(notify->isChecked());
    EXPECT_FALSE(login->isChecked());

    notify->trigger();
    EXPECT_FALSE(Store::notifyWhenExposed());
    login->trigger();
    EXPECT_TRUE(QFile::exists(Autostart::entryPath()));
    EXPECT_TRUE(login->isChecked());

    QFile::remove(Autostart::entryPath());  // removed by hand
    Store::setNotifyWhenExposed(true);
    emit menu.aboutToShow();
    EXPECT_FALSE(login->isChecked());
    EXPECT_TRUE(notify->isChecked());
    EXPECT_TRUE(Store::notifyWhenExposed());

    // A login entry that cannot be written is reported, and shows as off.
    QFile::setPermissions(home.configDir(), QFile::ReadOwner | QFile::ExeOwner);
    if (::geteuid() != 0) {
        login->trigger();
        EXPECT_FALSE(login->isChecked());
        EXPECT_EQ(alerts, QStringList{"Couldn't turn on Start at Login"});
    }
    QFile::setPermissions(home.configDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A private package taking uploads, as the refresh follows it: its server's
// row carries the link, and each file that arrives is announced and counted.
TEST_F(ExposureMonitorTest, ReceivedFilesAreAnnouncedOnceAndCounted) {
    QStringList sent;
    auto* monitor = new ExposureMonitor(
        nullptr, [&sent](const QString& text) { sent << text; },
        ExposureTracker([](qint32) { return true; }));
    exposure = monitor;
    build();
    monitor->setParent(delegate.get());
    useRealRefresh();
    const QString pkg = test::makePackage("Inbox");
    startedPaths << pkg;
    const auto entry = registry.start(pkg, {true, true});
    ASSERT_TRUE(entry);
    const PanelData first = delegate->gather();
    const auto served =
        std::find_if(first.servers.cbegin(), first.servers.cend(),
                     [&](const HostedPort& server) { return server.pid == entry->pid; });
    ASSERT_NE(served, first.servers.cend());
    EXPECT_EQ(served->linkPath, "s/" + entry->token + "/");

    QFile record(pkg + "/" + ReceivedLog::kFileName);
    ASSERT_TRUE(record.open(QIODevice::Append));
    record.write(ReceivedLog::line({"photo.jpg", 3200000, "192.168.1.23"}));
    record.flush();
    delegate->refresh();
    delegate->refresh();
    EXPECT_EQ(sent, QStringList{"Received photo.jpg (3.2 MB) from 192.168.1.23"});
    QStringList ports;
    for (const QLabel* label : view()->findChildren<QLabel*>("portLabel")) {
        ports << label->text();
    }
    EXPECT_TRUE(ports.contains(QStringLiteral(":%1 \u00B7 1 received").arg(entry->port)))
        << ports.join(", ").toStdString();
}

}  // namespace
}  // namespace varnholt

#include "ExposureTest.moc"
