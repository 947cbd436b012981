#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "PanelFixture.h"
#include "app/ElidedLabel.h"
#include "app/ItemChooser.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

namespace varnholt {
namespace {

const QString kAlert = QStringLiteral(
    "Couldn't host that|host.mjs didn't return a package. Check that Node is installed.");

class HostPickingTest : public test::PanelFixture {
protected:
    void SetUp() override {
        build();
        data.address = QStringLiteral("192.168.1.20");
    }

    // A stand-in companion script that prints the given lines.
    void writeStub(const QStringList& lines) {
        QJsonArray array;
        for (const QString& line : lines) {
            array.append(line);
        }
        const QByteArray script = "console.log(" +
                                  QJsonDocument(array).toJson(QJsonDocument::Compact) +
                                  ".join('\\n'));\n";
        test::writeFile(delegate->hostMjsPath(), script);
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
    delegate->hostPicked(home.scratch());
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_FALSE(Store::pausedPaths().contains(package));
    EXPECT_TRUE(registry.info(package));
    EXPECT_EQ(refreshes, before + 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(HostPickingTest, AnyUnusableAnswerShowsTheOneAlertAndChangesNothing) {
    const QString package = test::makePackage("Picked");
    Store::insertPausedPath(package);
    const QList<QStringList> outputs = {
        {},
        {"no answer at all"},
        {answer(package), "{\"status\":\"ok\"}"},  // the earlier line is never tried
        {"  " + answer(package)},                  // leading blanks: not a candidate
        {"{\"packageDir\": 5}"},
        {"{not json"},
        {"[\"" + package + "\"]"},
    };
    for (const QStringList& lines : outputs) {
        alerts.clear();
        writeStub(lines);
        const int before = refreshes;
        delegate->hostPicked(home.scratch());
        EXPECT_EQ(alerts, QStringList{kAlert}) << lines.join("\\n").toStdString();
        EXPECT_EQ(refreshes, before);
        EXPECT_TRUE(Store::pausedPaths().contains(package));
        EXPECT_FALSE(registry.info(package));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(HostPickingTest, AMissingScriptShowsTheAlert) {
    delegate->hostPicked(home.scratch());
    EXPECT_EQ(alerts, QStringList{kAlert});
}

TEST_F(HostPickingTest, TheRealCompanionPackagesAPickedFolderThatIsThenServed) {
    QFile companion(QStringLiteral(VARNHOLT_SOURCE_DIR) + "/companion/host.mjs");
    ASSERT_TRUE(companion.open(QIODevice::ReadOnly));
    test::writeFile(delegate->hostMjsPath(), companion.readAll());
    const QByteArray page = "<!doctype html><title>My Site</title><p>hi</p>\n";
    const QString picked = home.scratch() + "/My Site";
    test::writeFile(picked + "/index.html", page);

    delegate->hostPicked(picked);
    ASSERT_TRUE(alerts.isEmpty()) << alerts.join("; ").toStdString();
    const QList<QuickHostPackage> packages = HostScanner::quickHostPackages();
    ASSERT_EQ(packages.size(), 1);
    startedPaths << packages[0].path;
    const auto entry = registry.info(packages[0].path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(test::httpBody(entry->port), page);
    EXPECT_TRUE(QFileInfo::exists(picked + "/index.html"));  // the pick is untouched
}

TEST_F(HostPickingTest, OpenStartsInTheDefaultFolderAndHostsWhatIsPicked) {
    const QString sites = home.scratch() + "/Sites";
    test::writeFile(sites + "/notes.txt", "hello");
    Store::setDefaultOpenFolder(sites);
    const QString package = test::makePackage("Notes");
    startedPaths << package;
    writeStub({answer(package)});

    delegate->openPressed();
    ItemChooser* chooser = delegate->chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->directory().absolutePath(), sites);
    EXPECT_EQ(chooser->labelText(QFileDialog::Accept), "Host");
    EXPECT_TRUE(chooser->allowsFiles());
    // The panel stays usable, and a second Open… brings this chooser forward.
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_FALSE(chooser->isModal());
    EXPECT_EQ(chooser->windowModality(), Qt::NonModal);
    delegate->openPressed();
    EXPECT_EQ(delegate->chooser(), chooser);
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
    delegate->updateDefaultFolderLabel();

    delegate->changeDefaultFolderPressed();
    ItemChooser* chooser = delegate->chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_FALSE(chooser->allowsFiles());
    EXPECT_EQ(chooser->windowTitle(), "Choose the folder \u201COpen\u2026\u201D should start from");
    EXPECT_EQ(chooser->labelText(QFileDialog::Accept), "Set Default");
    chooser->reject();
    EXPECT_EQ(Store::defaultOpenFolder(), first);

    delegate->changeDefaultFolderPressed();
    delegate->chooser()->selectFile(second);
    delegate->chooser()->accept();
    EXPECT_EQ(Store::defaultOpenFolder(), second);
    EXPECT_EQ(delegate->defaultFolderLabel()->text(), "Default: ~/Second");
}

}  // namespace
}  // namespace varnholt
