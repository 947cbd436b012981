// Package discovery in a throw-away home.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "TempHome.h"
#include "quickhost/PackageDiscovery.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

namespace varnholt {
namespace {

QStringList titles(const QList<QuickHostPackage>& packages) {
    QStringList result;
    for (const auto& p : packages) {
        result.append(p.title);
    }
    return result;
}

class Packages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }

    QString folder() const { return m_home.desktop() + "/Varnholt"; }
    void makeFolder(const QString& name) { ASSERT_TRUE(QDir().mkpath(folder() + "/" + name)); }
    void makeFile(const QString& name) {
        QFile file(folder() + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    test::TempHome m_home;
};

TEST_F(Packages, FolderLivesOnTheDesktop) {
    EXPECT_EQ(PackageDiscovery::packagesFolder(), folder());
}

TEST_F(Packages, MissingFolderGivesNothing) {
    EXPECT_TRUE(PackageDiscovery::allPackages().isEmpty());
    EXPECT_TRUE(PackageDiscovery::quickHostPackages().isEmpty());
    EXPECT_TRUE(PackageDiscovery::pausedPackages().isEmpty());
}

TEST_F(Packages, AFileInPlaceOfTheFolderGivesNothing) {
    QFile file(folder());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(PackageDiscovery::allPackages().isEmpty());
}

TEST_F(Packages, FoldersOnlyInCodePointOrder) {
    makeFolder("b-site");
    makeFolder("A-site");
    makeFile("notes.txt");
    makeFolder(".cache");
    makeFolder("Site 9");
    makeFolder("Site 10");
    const auto packages = PackageDiscovery::allPackages();
    EXPECT_EQ(titles(packages), (QStringList{".cache", "A-site", "Site 10", "Site 9", "b-site"}));
    ASSERT_FALSE(packages.isEmpty());
    EXPECT_EQ(packages[1].path, folder() + "/A-site");
}

TEST_F(Packages, OrderIsByCodePointsOfTheCanonicalForm) {
    // "é" written as e + combining accent sorts as the single letter é (after
    // "f"); a letter beyond the 16-bit range sorts after U+FF21, not before
    // it as UTF-16 units would have it. Titles stay as the folder spells them.
    const QString decomposed = QString::fromUtf8("e\xCC\x81t\xC3\xA9");
    const QString fullwidthA = QString::fromUtf8("\xEF\xBC\xA1");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    makeFolder(decomposed);
    makeFolder("f");
    makeFolder(emoji);
    makeFolder(fullwidthA);
    EXPECT_EQ(titles(PackageDiscovery::allPackages()),
              (QStringList{"f", decomposed, fullwidthA, emoji}));
}

TEST_F(Packages, LinksCountByWhatTheyPointTo) {
    makeFolder("real");
    const QString outside = m_home.scratch() + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(outside));
    ASSERT_TRUE(QFile::link(outside, folder() + "/linked"));
    ASSERT_TRUE(QFile::link(m_home.scratch() + "/gone", folder() + "/broken"));
    makeFile("file.txt");
    ASSERT_TRUE(QFile::link(folder() + "/file.txt", folder() + "/file-link"));

    const auto packages = PackageDiscovery::allPackages();
    ASSERT_EQ(titles(packages), (QStringList{"linked", "real"}));
    EXPECT_EQ(packages[0].path, folder() + "/linked");
}

TEST_F(Packages, SplitByExactPausedPath) {
    makeFolder("A-site");
    makeFolder("b-site");
    makeFolder("c-site");
    const QSet<QString> paused = {folder() + "/b-site", folder() + "/c-site/", folder() + "/gone"};
    EXPECT_EQ(titles(PackageDiscovery::quickHostPackages(paused)),
              (QStringList{"A-site", "c-site"}));
    EXPECT_EQ(titles(PackageDiscovery::pausedPackages(paused)), (QStringList{"b-site"}));
}

TEST_F(Packages, SplitReadsThePausedSetFromTheStore) {
    makeFolder("A-site");
    makeFolder("b-site");
    Store::setPausedPaths({folder() + "/b-site"});
    EXPECT_EQ(titles(PackageDiscovery::quickHostPackages()), (QStringList{"A-site"}));
    EXPECT_EQ(titles(PackageDiscovery::pausedPackages()), (QStringList{"b-site"}));
}

}  // namespace
}  // namespace varnholt
