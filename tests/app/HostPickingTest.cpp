#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include "LoopbackPorts.h"
#include "PanelFixture.h"
#include "PortHolder.h"
#include "ServeRun.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/FlippedStackView.h"
#include "app/panel/ItemChooser.h"
#include "app/panel/PanelSection.h"
#include "app/panel/PanelView.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/PickJob.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

namespace varnholt {
namespace {

const QString kNoAnswer = QStringLiteral("Couldn't host that|host.mjs didn't return a package.");

class HostPickingTest : public test::PanelFixture {
protected:
    void SetUp() override {
        build();
        data.address = QStringLiteral("192.168.1.20");
    }

    // A stand-in companion script that prints the given lines and exits so.
    void writeStub(const QStringList& lines, int exitCode = 0, const QString& error = {}) {
        QJsonArray array;
        for (const QString& line : lines) {
            array.append(line);
        }
        const QByteArray script =
            "console.log(" + QJsonDocument(array).toJson(QJsonDocument::Compact) +
            ".join('\\n'));\nconsole.error(" +
            QJsonDocument(QJsonArray{error}).toJson(QJsonDocument::Compact) +
            "[0]);\nprocess.exitCode = " + QByteArray::number(exitCode) + ";\n";
        test::writeFile(delegate->picker()->hostMjsPath(), script);
    }

    // Picks path and lets the event loop run until the pick has ended.
    void hostAndWait(const QString& path) {
        delegate->picker()->hostPicked(path);
        EXPECT_TRUE(test::waitUntil(
            [&] {
                return delegate->picker()->jobs().isEmpty() &&
                       delegate->registry().startsUnderWay() == 0;
            },
            std::chrono::seconds(60)));
    }

    void useRealCompanion() {
        QFile companion(QStringLiteral(VARNHOLT_SOURCE_DIR) + "/companion/host.mjs");
        ASSERT_TRUE(companion.open(QIODevice::ReadOnly));
        test::writeFile(delegate->picker()->hostMjsPath(), companion.readAll());
    }

    static QString answer(const QJsonValue& packageDir) {
        return QString::fromUtf8(
            QJsonDocument(QJsonObject{{"packageDir", packageDir}}).toJson(QJsonDocument::Compact));
    }
};

TEST_F(HostPickingTest, TheLastBraceLineNamesThePackageWhichLeavesPausedAndIsServed) {
    const QString package = test::makePackage("Picked");
    startedPaths << package;
    Store::insertPausedPath(package);
    writeStub({"packaging…", answer(package), "done, 3 files"});
    const int before = refreshes;
    hostAndWait(home.scratch());
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_FALSE(Store::pausedPaths().contains(package));
    EXPECT_TRUE(registry.info(package));
    EXPECT_EQ(refreshes, before + 2);  // as it starts, and once it listens
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(HostPickingTest, AnyUnusableAnswerShowsTheOneAlertWithItsCauseAndChangesNothing) {
    const QString package = test::makePackage("Picked");
    Store::insertPausedPath(package);
    QDir().mkpath(home.scratch() + "/secrets");
    const struct {
        QStringList lines;
        int exitCode;
        QString error;
        QString alert;
    } cases[] = {
        {{}, 0, {}, kNoAnswer},
        {{"no answer at all"}, 0, {}, kNoAnswer},
        {{answer(package), "{\"status\":\"ok\"}"}, 0, {}, kNoAnswer},  // earlier lines never count
        {{"  " + answer(package)}, 0, {}, kNoAnswer},  // leading blanks: not a candidate
        {{"{\"packageDir\": 5}"}, 0, {}, kNoAnswer},
        {{"{not json"}, 0, {}, kNoAnswer},
        {{"[\"" + package + "\"]"}, 0, {}, kNoAnswer},
        // A good-looking answer counts only from a clean exit, and only for a
        // folder in the packages folder.
        {{answer(package)},
         1,
         "Left out x\nCan't package /p: the disk is full.",
         "Couldn't host that|Can't package /p: the disk is full."},
        {{answer(package)}, 2, {}, "Couldn't host that|host.mjs failed (exit status 2)."},
        {{answer(home.scratch() + "/secrets")},
         0,
         {},
         "Couldn't host that|host.mjs named a folder that is not a package in " +
             PackageDiscovery::packagesFolder() + "."},
    };
    for (const auto& c : cases) {
        alerts.clear();
        writeStub(c.lines, c.exitCode, c.error);
        const int before = refreshes;
        hostAndWait(home.scratch());
        EXPECT_EQ(alerts, QStringList{c.alert}) << c.lines.join("\\n").toStdString();
        EXPECT_EQ(refreshes, before);
        EXPECT_TRUE(Store::pausedPaths().contains(package));
        EXPECT_FALSE(registry.info(package));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(HostPickingTest, AMissingScriptIsNamedInTheAlert) {
    hostAndWait(home.scratch());
    EXPECT_EQ(alerts, QStringList{"Couldn't host that|The companion script is missing at " +
                                  delegate->picker()->hostMjsPath() + "."});
}

// The package is made and listed, but with every port taken the user hears
// why it does not run.
TEST_F(HostPickingTest, APackageThatCannotBeServedSaysWhy) {
    const auto port = test::freePortBlock(47341, 47399, 1);
    ASSERT_TRUE(port);
    test::PortHolder holder;
    ASSERT_TRUE(holder.hold(*port));
    QuickHostRegistry narrow(home.scratch() + "/quick", *port, *port, test::serveProgram());
    build(&narrow);
    const QString package = test::makePackage("Picked");
    writeStub({answer(package)});
    const int before = refreshes;
    hostAndWait(home.scratch());
    EXPECT_GT(refreshes, before);
    EXPECT_EQ(
        alerts,
        QStringList{QString("Couldn't host that|No free port between %1 and %1.").arg(*port)});
    EXPECT_FALSE(narrow.info(package));
}

TEST_F(HostPickingTest, TheRealCompanionPackagesAPickedFolderThatIsThenServed) {
    QFile companion(QStringLiteral(VARNHOLT_SOURCE_DIR) + "/companion/host.mjs");
    ASSERT_TRUE(companion.open(QIODevice::ReadOnly));
    test::writeFile(delegate->picker()->hostMjsPath(), companion.readAll());
    const QByteArray page = "<!doctype html><title>My Site</title><p>hi</p>\n";
    const QString picked = home.scratch() + "/My Site";
    test::writeFile(picked + "/index.html", page);

    hostAndWait(picked);
    ASSERT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
    const QList<QuickHostPackage> packages = PackageDiscovery::quickHostPackages();
    ASSERT_EQ(packages.size(), 1);
    startedPaths << packages[0].path;
    const auto entry = registry.info(packages[0].path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(test::httpBody(entry->port), page);
    EXPECT_TRUE(QFileInfo::exists(picked + "/index.html"));  // the pick is untouched
}

// Tried as an attacker would: a folder with secrets in hidden files and links
// out, and a name that spells an answer line, picked until packaging fails.
TEST_F(HostPickingTest, AHostilePickServesNothingItShouldNot) {
    QFile companion(QStringLiteral(VARNHOLT_SOURCE_DIR) + "/companion/host.mjs");
    ASSERT_TRUE(companion.open(QIODevice::ReadOnly));
    test::writeFile(delegate->picker()->hostMjsPath(), companion.readAll());
    const QString secrets = home.scratch() + "/secrets";
    test::writeFile(secrets + "/key.txt", "secret");

    const QString web = home.scratch() + "/web";
    test::writeFile(web + "/index.html", "home");
    test::writeFile(web + "/.env", "TOKEN=1");
    test::writeFile(web + "/.git/config", "url = https://token@example/x");
    ASSERT_TRUE(QFile::link(secrets + "/key.txt", web + "/key"));
    hostAndWait(web);
    ASSERT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
    const QString webPackage = PackageDiscovery::packagesFolder() + "/web";
    startedPaths << webPackage;
    const auto entry = registry.info(webPackage);
    ASSERT_TRUE(entry);
    EXPECT_EQ(test::httpBody(entry->port), "home");
    for (const QByteArray target : {"/.env", "/.git/config", "/.git/", "/key"}) {
        EXPECT_EQ(test::httpGet(entry->port, target)->status, 404) << target.constData();
    }

    const QString forged =
        "\n{\"packageDir\":\"" + QString(secrets).replace("/", "\\u002f") + "\"}\n";
    const QString pick = home.scratch() + "/" + QString(255 - forged.toUtf8().size(), 'A') + forged;
    test::writeFile(pick, "x");
    hostAndWait(pick);
    ASSERT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
    for (const QuickHostPackage& package : PackageDiscovery::quickHostPackages()) {
        startedPaths << package.path;
    }
    hostAndWait(pick);  // "<name> 2" is too long
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Couldn't host that|Can't create the package folder"))
        << alerts[0].toStdString();
    EXPECT_FALSE(registry.info(secrets));
    EXPECT_EQ(PackageDiscovery::quickHostPackages().size(), 2);
}

// A pick big enough to take a while: a sparse file costs the test no disk.
QString makeBigPick(const QString& folder) {
    test::writeFile(folder + "/notes.txt", "notes");
    QFile big(folder + "/film.mkv");
    big.open(QIODevice::WriteOnly);
    big.resize(qint64(1) << 30);
    return folder;
}

QWidget* pickRow(PanelView* view) {
    for (QWidget* row : view->hosted().stack()->findChildren<QWidget*>(QStringLiteral("pickRow"))) {
        if (!row->isHidden()) {
            return row;
        }
    }
    return nullptr;
}

// The panel keeps answering while the copy runs, shows how far it is, and
// Cancel leaves nothing behind.
TEST_F(HostPickingTest, ABigPickKeepsTheLoopTurningShowsProgressAndCancelLeavesNothing) {
    useRealCompanion();
    const QString picked = makeBigPick(home.scratch() + "/Holiday videos");
    int ticks = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    delegate->picker()->hostPicked(picked);
    ASSERT_TRUE(
        test::waitUntil([&] { return pickRow(view()) != nullptr; }, std::chrono::seconds(30)));
    EXPECT_GT(ticks, 2);
    const QString text = pickRow(view())->findChild<ElidedLabel*>("titleLabel")->text();
    EXPECT_TRUE(text.startsWith("Preparing Holiday videos\u2026")) << text.toStdString();
    test::buttonTitled(pickRow(view()), "Cancel")->click();
    ASSERT_TRUE(test::waitUntil([&] { return delegate->picker()->jobs().isEmpty(); },
                                std::chrono::seconds(30)));
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
    EXPECT_EQ(pickRow(view()), nullptr);
    EXPECT_EQ(
        QDir(PackageDiscovery::packagesFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList{});
}

// A copy that fails midway, even with a package named, is never served: one
// alert with the script's reason, and the half-made folder is gone.
TEST_F(HostPickingTest, AFailedCopyEndsInOneAlertAndNoPackage) {
    const QString dir = PackageDiscovery::packagesFolder() + "/Holiday videos";
    const QByteArray quoted =
        QJsonDocument(QJsonArray{dir}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
    const QString reason =
        "Not enough space on /home to copy Holiday videos (needs 1.0 GB, 412 MB free).";
    test::writeFile(
        delegate->picker()->hostMjsPath(),
        "import fs from 'node:fs';\n"
        "fs.mkdirSync(" +
            quoted +
            " + '/site', { recursive: true });\n"
            "fs.writeFileSync(" +
            quoted +
            " + '/site/half.mkv', 'x');\n"
            "console.log('making ' + JSON.stringify(" +
            quoted +
            "));\n"
            "console.log('progress 0 1 1 1000000000');\n"
            "console.log(JSON.stringify({ packageDir: " +
            quoted +
            " }));\n"
            "console.error(" +
            QJsonDocument(QJsonArray{reason}).toJson(QJsonDocument::Compact).chopped(1).mid(1) +
            ");\n"
            "process.exitCode = 1;\n");
    hostAndWait(home.scratch());
    EXPECT_EQ(alerts, QStringList{"Couldn't host that|" + reason});
    EXPECT_FALSE(QFileInfo::exists(dir));
    EXPECT_FALSE(registry.info(dir));
}

// Picking the same thing again while it is prepared shows the pick under way
// at once and starts no second copy; quitting ends it.
TEST_F(HostPickingTest, TheSamePickTwiceIsOneJobAndQuittingEndsIt) {
    useRealCompanion();
    const QString picked = makeBigPick(home.scratch() + "/Holiday videos");
    delegate->picker()->hostPicked(picked);
    delegate->picker()->hostPicked(picked + "/");
    ASSERT_EQ(delegate->picker()->jobs().size(), 1);
    EXPECT_EQ(delegate->picker()->progressRows().size(), 1);  // no half-second wait now
    PickJob* job = delegate->picker()->jobs()[0];
    ASSERT_TRUE(
        test::waitUntil([&] { return !job->packageDir().isEmpty(); }, std::chrono::seconds(30)));
    const QString made = job->packageDir();
    delegate.reset();
    EXPECT_FALSE(QFileInfo::exists(made));
    EXPECT_TRUE(alerts.isEmpty());
}

// The same unchanged pick asks before copying again; each answer does what
// it says.
TEST_F(HostPickingTest, AnUnchangedPickAsksToHostItsPackageAgainOrCopyAnew) {
    useRealCompanion();
    const QString picked = home.scratch() + "/Notes";
    test::writeFile(picked + "/a.txt", "a");
    QStringList asked;
    HostPicker::Reuse reply = HostPicker::Reuse::HostAgain;
    delegate->picker()->setAsk(
        [&](const QString& message, const QString&, std::function<void(HostPicker::Reuse)> answer) {
            asked << message;
            answer(reply);
        });
    const QString package = PackageDiscovery::packagesFolder() + "/Notes";
    startedPaths << package << package + " 2";
    hostAndWait(picked);
    ASSERT_TRUE(registry.info(package));
    EXPECT_TRUE(asked.isEmpty());
    registry.stop(package);

    hostAndWait(picked);
    EXPECT_EQ(asked, QStringList{"Host \u201CNotes\u201D again?"});
    EXPECT_TRUE(registry.info(package));
    EXPECT_EQ(PackageDiscovery::quickHostPackages().size(), 1);

    reply = HostPicker::Reuse::NewCopy;
    hostAndWait(picked);
    ASSERT_TRUE(test::waitUntil([&] { return delegate->picker()->jobs().isEmpty(); }));
    EXPECT_EQ(asked.size(), 2);
    EXPECT_TRUE(registry.info(package + " 2"));
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
}

TEST_F(HostPickingTest, OpenStartsInTheDefaultFolderAndHostsWhatIsPicked) {
    const QString sites = home.scratch() + "/Sites";
    test::writeFile(sites + "/notes.txt", "hello");
    Store::setDefaultOpenFolder(sites);
    const QString package = test::makePackage("Notes");
    startedPaths << package;
    writeStub({answer(package)});

    delegate->picker()->openPressed();
    ItemChooser* chooser = delegate->picker()->chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->directory().absolutePath(), sites);
    EXPECT_EQ(chooser->labelText(QFileDialog::Accept), "Host");
    EXPECT_TRUE(chooser->allowsFiles());
    // The panel stays usable, and a second Open… brings this chooser forward.
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_FALSE(chooser->isModal());
    EXPECT_EQ(chooser->windowModality(), Qt::NonModal);
    delegate->picker()->openPressed();
    EXPECT_EQ(delegate->picker()->chooser(), chooser);
    chooser->selectFile(sites + "/notes.txt");
    chooser->accept();
    EXPECT_TRUE(test::waitUntil([&] { return registry.info(package).has_value(); }));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(HostPickingTest, ChangeStoresThePickedFolderAndCancelKeepsTheOldOne) {
    const QString first = home.scratch() + "/First";
    const QString second = QDir::homePath() + "/Second";
    QDir().mkpath(first);
    QDir().mkpath(second);
    Store::setDefaultOpenFolder(first);
    view()->updateDefaultFolderLabel();

    delegate->picker()->changeDefaultFolderPressed();
    ItemChooser* chooser = delegate->picker()->chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_FALSE(chooser->allowsFiles());
    EXPECT_EQ(chooser->windowTitle(), "Choose the folder \u201COpen\u2026\u201D should start from");
    EXPECT_EQ(chooser->labelText(QFileDialog::Accept), "Set Default");
    chooser->reject();
    EXPECT_EQ(Store::defaultOpenFolder(), first);

    delegate->picker()->changeDefaultFolderPressed();
    delegate->picker()->chooser()->selectFile(second);
    delegate->picker()->chooser()->accept();
    EXPECT_EQ(Store::defaultOpenFolder(), second);
    EXPECT_EQ(view()->defaultFolderLabel()->text(), "Default: ~/Second");
}

}  // namespace
}  // namespace varnholt
