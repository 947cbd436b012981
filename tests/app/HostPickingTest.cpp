#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "LoopbackPorts.h"
#include "PanelFixture.h"
#include "PortHolder.h"
#include "ServeRun.h"
#include "app/controls/ElidedLabel.h"
#include "app/panel/ItemChooser.h"
#include "quickhost/PackageDiscovery.h"
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
    delegate->picker()->hostPicked(home.scratch());
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_FALSE(Store::pausedPaths().contains(package));
    EXPECT_TRUE(registry.info(package));
    EXPECT_EQ(refreshes, before + 1);
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
        delegate->picker()->hostPicked(home.scratch());
        EXPECT_EQ(alerts, QStringList{c.alert}) << c.lines.join("\\n").toStdString();
        EXPECT_EQ(refreshes, before);
        EXPECT_TRUE(Store::pausedPaths().contains(package));
        EXPECT_FALSE(registry.info(package));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(HostPickingTest, AMissingScriptIsNamedInTheAlert) {
    delegate->picker()->hostPicked(home.scratch());
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
    delegate->picker()->hostPicked(home.scratch());
    EXPECT_EQ(refreshes, before + 1);
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

    delegate->picker()->hostPicked(picked);
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
    delegate->picker()->hostPicked(web);
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
    delegate->picker()->hostPicked(pick);
    ASSERT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
    for (const QuickHostPackage& package : PackageDiscovery::quickHostPackages()) {
        startedPaths << package.path;
    }
    delegate->picker()->hostPicked(pick);  // "<name> 2" is too long
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Couldn't host that|Can't create the package folder"))
        << alerts[0].toStdString();
    EXPECT_FALSE(registry.info(secrets));
    EXPECT_EQ(PackageDiscovery::quickHostPackages().size(), 2);
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
