#include <QClipboard>
#include <QLabel>
#include <QScopeGuard>
#include <QStandardPaths>

#include <sys/stat.h>

#include "ChildProcess.h"
#include "LoopbackPorts.h"
#include "PanelFixture.h"
#include "ServeRun.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/FlippedStackView.h"
#include "app/controls/SectionHeader.h"
#include "app/panel/rows/HostedRow.h"
#include "exec/Tools.h"
#include "quickhost/PackageDiscovery.h"
#include "scan/HostScanner.h"
#include "scan/ServerUrl.h"
#include "store/Store.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

using test::buttonTitled;
using test::buttonTitles;

// Rows over real package folders, a real registry and the real settings; only
// the network and the machine-wide scan are left out.
class RowsTest : public test::PanelFixture {
protected:
    void SetUp() override {
        source = [this] {
            ++refreshes;
            PanelData d;
            d.address = QStringLiteral("192.168.1.20");
            registry.pruneDead();
            d.quick = PackageDiscovery::quickHostPackages();
            d.recent = Store::recent();
            d.paused = PackageDiscovery::pausedPackages();
            return d;
        };
        build();
    }

    QWidget* rowFor(FlippedStackView* stack, const QString& title) {
        for (QWidget* row : stack->arrangedSubviews()) {
            auto* label = row->findChild<ElidedLabel*>(QStringLiteral("titleLabel"));
            if (label && label->text().startsWith(title)) {
                return row;
            }
        }
        return nullptr;
    }

    void click(FlippedStackView* stack, const QString& rowTitle, const QString& button) {
        QWidget* row = rowFor(stack, rowTitle);
        ASSERT_NE(row, nullptr) << rowTitle.toStdString();
        ClosureButton* target = buttonTitled(row, button);
        ASSERT_NE(target, nullptr) << button.toStdString();
        target->click();
    }

    QString trashed(const QString& name) const {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               "/Trash/files/" + name;
    }
};

TEST_F(RowsTest, QuickStartServesThePackageAndStopEndsItAndLogsIt) {
    const QByteArray page = "<h1>Alpha</h1>\n";
    const QString alpha = test::makePackage("Alpha", page);
    startedPaths << alpha;
    delegate->refresh();
    QWidget* row = rowFor(view()->quick().stack(), "Alpha");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(buttonTitles(row), (QStringList{"Start", "Remove"}));
    EXPECT_EQ(row->findChild<QLabel*>(QStringLiteral("portLabel"))->text(), "");

    click(view()->quick().stack(), "Alpha", "Start");
    const auto entry = registry.info(alpha);
    ASSERT_TRUE(entry);
    row = rowFor(view()->quick().stack(), "Alpha");
    EXPECT_EQ(buttonTitles(row), (QStringList{"Stop", "Remove"}));
    EXPECT_EQ(row->findChild<QLabel*>(QStringLiteral("portLabel"))->text(),
              ":" + QString::number(entry->port));
    EXPECT_EQ(test::httpBody(entry->port), page);
    EXPECT_TRUE(Store::recent().isEmpty());  // starting logs nothing

    click(view()->quick().stack(), "Alpha", "Stop");
    EXPECT_FALSE(registry.info(alpha));
    const auto recent = Store::recent();
    ASSERT_EQ(recent.size(), 1);
    EXPECT_EQ(recent[0].title, "Alpha");
    EXPECT_EQ(recent[0].action, "stopped");
    EXPECT_EQ(recent[0].path, alpha);
    EXPECT_TRUE(test::waitUntilGone(entry->pid, 5s));
    EXPECT_EQ(buttonTitles(rowFor(view()->quick().stack(), "Alpha")),
              (QStringList{"Start", "Remove"}));
}

TEST_F(RowsTest, RemoveOfARunningPackageStopsLogsAndPausesIt) {
    const QString alpha = test::makePackage("Alpha");
    startedPaths << alpha;
    const auto entry = registry.start(alpha);
    ASSERT_TRUE(entry);
    delegate->refresh();
    click(view()->quick().stack(), "Alpha", "Remove");
    EXPECT_FALSE(registry.info(alpha));
    EXPECT_TRUE(Store::pausedPaths().contains(alpha));
    ASSERT_EQ(Store::recent().size(), 1);
    EXPECT_EQ(Store::recent()[0].action, "stopped");
    EXPECT_EQ(Store::recent()[0].path, alpha);
    EXPECT_EQ(rowFor(view()->quick().stack(), "Alpha"), nullptr);
    EXPECT_NE(rowFor(view()->paused().stack(), "Alpha"), nullptr);
    EXPECT_TRUE(test::waitUntilGone(entry->pid, 5s));
    EXPECT_TRUE(QFileInfo::exists(alpha));  // nothing is deleted
}

TEST_F(RowsTest, RemoveOfAStoppedPackageOnlyPausesIt) {
    const QString alpha = test::makePackage("Alpha");
    delegate->refresh();
    click(view()->quick().stack(), "Alpha", "Remove");
    EXPECT_TRUE(Store::pausedPaths().contains(alpha));
    EXPECT_TRUE(Store::recent().isEmpty());
    EXPECT_EQ(view()->paused().header()->text(), "PAUSED - 1");
}

TEST_F(RowsTest, PausedStartUnpausesAndServes) {
    const QString alpha = test::makePackage("Alpha");
    startedPaths << alpha;
    Store::insertPausedPath(alpha);
    delegate->refresh();
    EXPECT_EQ(buttonTitles(rowFor(view()->paused().stack(), "Alpha")),
              (QStringList{"Start", "Remove"}));
    click(view()->paused().stack(), "Alpha", "Start");
    EXPECT_FALSE(Store::pausedPaths().contains(alpha));
    ASSERT_TRUE(registry.info(alpha));
    EXPECT_EQ(buttonTitles(rowFor(view()->quick().stack(), "Alpha")),
              (QStringList{"Stop", "Remove"}));
    EXPECT_TRUE(Store::recent().isEmpty());
}

TEST_F(RowsTest, PausedRemoveTrashesTheFolderAndLogsIt) {
    const QString alpha = test::makePackage("Alpha", "keep me\n");
    Store::insertPausedPath(alpha);
    delegate->refresh();
    click(view()->paused().stack(), "Alpha", "Remove");
    EXPECT_FALSE(QFileInfo::exists(alpha));
    QFile inTrash(trashed("Alpha") + "/index.html");
    ASSERT_TRUE(inTrash.open(QIODevice::ReadOnly));
    EXPECT_EQ(inTrash.readAll(), "keep me\n");
    EXPECT_FALSE(Store::pausedPaths().contains(alpha));
    ASSERT_EQ(Store::recent().size(), 1);
    EXPECT_EQ(Store::recent()[0].action, "removed");
    EXPECT_EQ(Store::recent()[0].path, alpha);
    EXPECT_TRUE(view()->paused().stack()->arrangedSubviews().isEmpty());
    EXPECT_TRUE(view()->quick().stack()->arrangedSubviews().isEmpty());
}

// A fresh account has no data folder: the trash is made where it belongs,
// never in the working folder.
TEST_F(RowsTest, PausedRemoveMakesTheTrashItNeeds) {
    const QString alpha = test::makePackage("Alpha", "keep me\n");
    Store::insertPausedPath(alpha);
    QDir(home.path() + "/.local/share").removeRecursively();
    const QString saved = QDir::currentPath();
    const QString work = home.scratch() + "/work";
    QDir().mkpath(work);
    ASSERT_TRUE(QDir::setCurrent(work));
    delegate->refresh();
    click(view()->paused().stack(), "Alpha", "Remove");
    QDir::setCurrent(saved);
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
    EXPECT_TRUE(QFileInfo::exists(trashed("Alpha") + "/index.html"));
    EXPECT_TRUE(QDir(work).isEmpty());
}

// When the package cannot go to the trash it stays: on disk, paused, listed,
// with one alert and no "removed" event.
TEST_F(RowsTest, PausedRemoveThatCannotTrashKeepsThePackage) {
    const QString alpha = test::makePackage("Alpha", "keep me\n");
    Store::insertPausedPath(alpha);
    QDir(home.path() + "/.local/share").removeRecursively();
    test::writeFile(home.path() + "/.local/share", "a file where the data folder belongs");
    delegate->refresh();
    click(view()->paused().stack(), "Alpha", "Remove");
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Couldn't move that to the Trash|"))
        << alerts[0].toStdString();
    EXPECT_EQ(test::readFile(alpha + "/index.html"), "keep me\n");
    EXPECT_TRUE(Store::pausedPaths().contains(alpha));
    EXPECT_TRUE(Store::recent().isEmpty());
    EXPECT_NE(rowFor(view()->paused().stack(), "Alpha"), nullptr);
}

// A Start that gets no server says why instead of quietly offering Start again.
TEST_F(RowsTest, AStartThatFailsSaysWhy) {
    test::makePackage("Alpha");
    const QString gone = PackageDiscovery::packagesFolder() + "/Gone";
    Store::logRecent("Gone", "stopped", gone);
    delegate->refresh();
    click(view()->recent().stack(), "Gone", "Restart");
    ASSERT_TRUE(test::waitUntil([&] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts,
              QStringList{"Couldn't host that|The package folder " + gone + " does not exist."});
}

// After the app restarts, a package whose server still runs shows Stop and
// its port, and Stop ends that server.
TEST_F(RowsTest, TheServerOfAnEarlierRunShowsAsRunning) {
    const QString alpha = test::makePackage("Alpha");
    startedPaths << alpha;
    QuickHostRegistry earlier(home.scratch() + "/quick", kFirstPort, kLastPort,
                              test::serveProgram());
    const auto entry = earlier.start(alpha);
    ASSERT_TRUE(entry.has_value()) << earlier.lastFailure().toStdString();
    // Not the fixture's registry's: ended here whatever the test's outcome.
    const auto endEarlier = qScopeGuard([pid = entry->pid] { test::endProcess(pid); });
    ASSERT_TRUE(test::httpGet(entry->port, "/"));  // listening, so the scan lists it
    useRealRefresh();
    delegate->refresh();
    QWidget* row = rowFor(view()->quick().stack(), "Alpha");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(buttonTitles(row), (QStringList{"Stop", "Remove"}));
    EXPECT_EQ(row->findChild<QLabel*>(QStringLiteral("portLabel"))->text(),
              ":" + QString::number(entry->port));
    click(view()->quick().stack(), "Alpha", "Stop");
    EXPECT_TRUE(test::waitUntilGone(entry->pid, 5s));
}

// A package folder whose name is not valid UTF-8 is listed, and its Start
// says why it cannot be served rather than the row going missing.
TEST_F(RowsTest, APackageNamedInBadUtf8IsListedAndRefusedWithAReason) {
    const QByteArray raw = QFile::encodeName(PackageDiscovery::packagesFolder()) + "/Caf\xe9";
    QDir().mkpath(PackageDiscovery::packagesFolder());
    ASSERT_EQ(::mkdir(raw.constData(), 0755), 0);
    delegate->refresh();
    const QString title = QStringLiteral("Caf\uFFFD");
    ASSERT_NE(rowFor(view()->quick().stack(), title), nullptr);
    click(view()->quick().stack(), title, "Start");
    ASSERT_TRUE(test::waitUntil([&] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts, QStringList{"Couldn't host that|The name \u201C" + title +
                                  "\u201D is not valid UTF-8, so it can't be hosted. Rename it "
                                  "and try again."});
    ::rmdir(raw.constData());
}

TEST_F(RowsTest, RecentRowsOfferRestartOnlyForStoppedPackagesAndDismissRemovesTheEvent) {
    const QString gamma = test::makePackage("Gamma");
    startedPaths << gamma;
    Store::insertPausedPath(gamma);
    Store::logRecent("Gamma", "stopped", gamma);
    Store::logRecent("server", "stopped");
    Store::logRecent("Gone", "removed", QStringLiteral("/nowhere/Gone"));
    delegate->refresh();
    EXPECT_EQ(buttonTitles(rowFor(view()->recent().stack(), "Gone")), (QStringList{"\u2715"}));
    EXPECT_EQ(buttonTitles(rowFor(view()->recent().stack(), "server")), (QStringList{"\u2715"}));
    EXPECT_EQ(buttonTitles(rowFor(view()->recent().stack(), "Gamma")),
              (QStringList{"\u2715", "Restart"}));
    EXPECT_EQ(rowFor(view()->recent().stack(), "Gamma")
                  ->findChild<ElidedLabel*>(QStringLiteral("titleLabel"))
                  ->text(),
              "Gamma \u00B7 stopped");

    click(view()->recent().stack(), "Gone", "\u2715");
    ASSERT_EQ(Store::recent().size(), 2);
    EXPECT_EQ(rowFor(view()->recent().stack(), "Gone"), nullptr);

    // Restart serves a paused package and leaves it paused and logged.
    click(view()->recent().stack(), "Gamma", "Restart");
    EXPECT_TRUE(registry.info(gamma));
    EXPECT_TRUE(Store::pausedPaths().contains(gamma));
    EXPECT_EQ(Store::recent().size(), 2);
    EXPECT_NE(rowFor(view()->paused().stack(), "Gamma"), nullptr);
}

TEST_F(RowsTest, HostedStopEndsTheServerAndLogsItWithoutAPath) {
    const quint16 port = test::freeLoopbackPort();
    ASSERT_NE(port, 0);
    auto server = test::ChildProcess::start(
        {tools().python3, "-m", "http.server", QString::number(port), "--bind", "127.0.0.1"},
        home.scratch());
    ASSERT_TRUE(server);
    std::unique_ptr<QWidget> row(makeHostedRow({server->pid(), "python3", port, "LOCAL", "scratch"},
                                               "192.168.1.20", delegate.get()));
    const int before = refreshes;
    buttonTitled(row.get(), "Stop")->click();
    EXPECT_TRUE(server->waitForExit(5s));
    ASSERT_EQ(Store::recent().size(), 1);
    EXPECT_EQ(Store::recent()[0].title, "scratch");
    EXPECT_EQ(Store::recent()[0].action, "stopped");
    EXPECT_FALSE(Store::recent()[0].path);
    EXPECT_EQ(refreshes, before);  // the next tick shows it
}

TEST_F(RowsTest, AServerWithoutAProcessIdCannotBeStoppedAndLogsNothing) {
    std::unique_ptr<QWidget> row(
        makeHostedRow({0, "python3", 8000, "NET", "mystery"}, "10.0.0.2", delegate.get()));
    ClosureButton* stop = buttonTitled(row.get(), "Stop");
    ASSERT_NE(stop, nullptr);
    EXPECT_FALSE(stop->isEnabled());
    stop->handler()();  // even if it were reached
    EXPECT_TRUE(Store::recent().isEmpty());
}

TEST(HostedRowTest, CopyUrlPutsTheServersUrlOnTheClipboard) {
    struct Case {
        QString ip;
        qint64 port;
        QString url;
    };
    const QList<Case> cases = {
        {"192.168.1.20", 8080, "http://192.168.1.20:8080/"},
        {"10.0.0.7", 1010, "http://10.0.0.7:1010/"},
        {"not connected", 8080, "http://localhost:8080/"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QWidget> row(
            makeHostedRow({7, "node", c.port, "NET", "app"}, c.ip, nullptr));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        buttonTitled(row.get(), "Copy URL")->click();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.url);
        EXPECT_EQ(serverUrl(c.ip, c.port), c.url);
    }
}

TEST(HostedRowTest, PortAndScopeHaveFixedWidthsAndOnlyExactNetIsOrange) {
    const QColor orange = QColor::fromRgbF(1.0f, 0.55f, 0.2f, 1.0f);
    const QColor grey = QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f);
    const QList<QPair<QString, QColor>> cases = {
        {"NET", orange}, {"LOCAL", grey}, {"net", grey}, {"NET ", grey}};
    for (const auto& [scope, colour] : cases) {
        std::unique_ptr<QWidget> row(
            makeHostedRow({7, "node", 8080, scope, "app"}, "1.2.3.4", nullptr));
        auto* badge = row->findChild<QLabel*>(QStringLiteral("scopeBadge"));
        auto* port = row->findChild<QLabel*>(QStringLiteral("portLabel"));
        EXPECT_EQ(badge->palette().color(QPalette::WindowText), colour) << scope.toStdString();
        EXPECT_EQ(badge->width(), 38);
        EXPECT_EQ(port->width(), 44);
        EXPECT_EQ(port->text(), ":8080");
    }
}

TEST(HostedRowTest, AFiveDigitPortIsNeverClipped) {
    std::unique_ptr<QWidget> row(
        makeHostedRow({7, "node", 65535, "NET", "app"}, "1.2.3.4", nullptr));
    auto* port = row->findChild<QLabel*>(QStringLiteral("portLabel"));
    EXPECT_EQ(port->text(), ":65535");
    EXPECT_GE(port->width(), 44);
    EXPECT_GE(port->width(), port->fontMetrics().horizontalAdvance(port->text()));
}

}  // namespace
}  // namespace varnholt
