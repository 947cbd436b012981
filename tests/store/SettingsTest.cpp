#include <QRect>

#include <unistd.h>

#include "StoreTestSupport.h"

using namespace varnholt;
using varnholt::test::StoreTest;

namespace {
const QStringList kSections = {"hosted", "quick", "recent", "paused"};
}

TEST_F(StoreTest, FreshUserReadsEveryFallbackWithoutCreatingAFile) {
    EXPECT_TRUE(Store::pausedPaths().isEmpty());
    EXPECT_EQ(Store::defaultOpenFolder(), std::nullopt);
    for (const QString& id : kSections) {
        EXPECT_FALSE(Store::collapsed(id)) << id.toStdString();
    }
    EXPECT_FALSE(Store::panelCollapsed());
    EXPECT_TRUE(Store::recent().isEmpty());
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST_F(StoreTest, SettingsLiveInTheUsersConfigFolder) {
    Store::setPanelCollapsed(true);
    EXPECT_EQ(settingsFile(), m_home.configDir() + "/Varnholt/Varnholt Control.conf");
    EXPECT_TRUE(QFile::exists(settingsFile()));
}

TEST_F(StoreTest, PausedPathsRoundTripThroughTheFile) {
    const QList<QSet<QString>> cases = {
        {},
        {"/home/ana/Desktop/Varnholt/one"},
        {"/a, b", "/with space", "/trailing "},
        {"@leading-at", "/q\"uote'", "/back\\slash", QString::fromUtf8("/Café 🌐"), "/x=y;z#w"},
    };
    for (const QSet<QString>& paths : cases) {
        SCOPED_TRACE(QStringList(paths.values()).join(" | ").toStdString());
        Store::setPausedPaths(paths);
        EXPECT_EQ(Store::pausedPaths(), paths);
        reloadFromDisk();
        EXPECT_EQ(Store::pausedPaths(), paths);
    }
}

TEST_F(StoreTest, EmptyPausedSetIsStoredNotRemoved) {
    Store::insertPausedPath("/p");
    Store::removePausedPath("/p");
    EXPECT_TRUE(onDiskHas("pausedPaths"));
    EXPECT_TRUE(Store::pausedPaths().isEmpty());
    reloadFromDisk();
    EXPECT_TRUE(Store::pausedPaths().isEmpty());
}

TEST_F(StoreTest, DuplicatePausedPathsReadOnceAndAreWrittenOnce) {
    writeRaw("[General]\npausedPaths=/a, /b, /a\n");
    EXPECT_EQ(Store::pausedPaths(), QSet<QString>({"/a", "/b"}));
    Store::insertPausedPath("/b");
    EXPECT_EQ(onDisk("pausedPaths").toStringList(), QStringList({"/a", "/b"}));
}

TEST_F(StoreTest, RemovingAPathThatIsNotPausedStillRewrites) {
    writeRaw("[General]\npausedPaths=/a, /a\n");
    Store::removePausedPath("/not-there");
    EXPECT_EQ(onDisk("pausedPaths").toString(), "/a");
    EXPECT_EQ(Store::pausedPaths(), QSet<QString>({"/a"}));
}

TEST_F(StoreTest, PausedPathsOfTheWrongTypeReadAsEmpty) {
    // The values QSettings itself writes for non-text data keep their type in
    // the file; each of these must read as no paused paths at all.
    const struct {
        const char* name;
        QByteArray value;
    } cases[] = {
        {"byte string", "@ByteArray(/a)"}, {"list holding a byte string", "/a, @ByteArray(/b)"},
        {"rectangle", "@Rect(0 0 10 10)"}, {"unreadable variant", "@Variant(\\0\\0\\0\\x7f\\0\\0)"},
        {"empty list", "@Invalid()"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempHome home;  // a new file name, so nothing parsed earlier is reused
        writeRaw("[General]\npausedPaths=" + c.value + "\n");
        EXPECT_TRUE(Store::pausedPaths().isEmpty());
    }
}

TEST_F(StoreTest, PausedPathsWrittenWithOtherTypesInThisProcessReadAsEmpty) {
    const QList<QVariant> values = {
        QVariant(5),
        QVariant(true),
        QVariant(QVariantList{QString("/a"), 5}),
        QVariant(QVariantList{QString("/a"), QByteArray("/b")}),
        QVariant(QVariantMap{{"/a", 1}}),
        QVariant(QRect(0, 0, 1, 1)),
    };
    for (const QVariant& value : values) {
        SCOPED_TRACE(value.metaType().name());
        QSettings(QSettings::NativeFormat, QSettings::UserScope, Store::kOrganization,
                  Store::kApplication)
            .setValue("pausedPaths", value);
        EXPECT_TRUE(Store::pausedPaths().isEmpty());
    }
}

TEST_F(StoreTest, BooleansReadFromTheirTextForm) {
    const struct {
        QByteArray value;
        bool expected;
    } cases[] = {
        {"true", true},  {"TRUE", true},        {"1", true},
        {"yes", true},   {"false", false},      {"0", false},
        {"", false},     {"banana", false},     {"@ByteArray(true)", false},
        {"a, b", false}, {"@Invalid()", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        test::TempHome home;
        writeRaw("[General]\ncollapsed.hosted=" + c.value + "\npanelCollapsed=" + c.value + "\n");
        EXPECT_EQ(Store::collapsed("hosted"), c.expected);
        EXPECT_EQ(Store::panelCollapsed(), c.expected);
    }
}

TEST_F(StoreTest, CollapseFlagsAreIndependent) {
    Store::setCollapsed("hosted", true);
    EXPECT_TRUE(Store::collapsed("hosted"));
    for (const QString& id :
         {QString("quick"), QString("recent"), QString("paused"), QString("never-used")}) {
        EXPECT_FALSE(Store::collapsed(id)) << id.toStdString();
        EXPECT_FALSE(onDiskHas("collapsed." + id)) << id.toStdString();
    }
    EXPECT_FALSE(Store::panelCollapsed());
    EXPECT_EQ(onDisk("collapsed.hosted").toString(), "true");

    Store::setPanelCollapsed(true);
    Store::setCollapsed("hosted", false);
    reloadFromDisk();
    EXPECT_FALSE(Store::collapsed("hosted"));
    EXPECT_TRUE(Store::panelCollapsed());
}

TEST_F(StoreTest, SnapshotReadsWhatTheSingleReadsReadAndFollowsEveryWrite) {
    const QByteArray files[] = {
        "",
        "[General]\ncollapsed.hosted=true\ncollapsed.paused=1\npanelCollapsed=yes\n"
        "pausedPaths=/a, /b\ndefaultOpenFolder=/home/ana\n"
        "recentEvents=@ByteArray([{\"title\":\"t\",\"action\":\"stopped\",\"at\":5}])\n",
        // Damaged values read as the single reads' fallbacks.
        "[General]\ncollapsed.quick=banana\npausedPaths=@Variant(garbage)\n"
        "defaultOpenFolder=@ByteArray(/x)\nrecentEvents=not json\n\x01\x02=\n",
    };
    const QStringList ids = {"hosted", "quick", "recent", "paused"};
    const auto expectSame = [&ids] {
        const Store::Snapshot snapshot = Store::snapshot(ids);
        EXPECT_EQ(snapshot.pausedPaths, Store::pausedPaths());
        EXPECT_EQ(snapshot.defaultOpenFolder, Store::defaultOpenFolder());
        EXPECT_EQ(snapshot.panelCollapsed, Store::panelCollapsed());
        EXPECT_EQ(snapshot.recent, Store::recent());
        EXPECT_EQ(snapshot.collapsed.size(), ids.size());
        for (const QString& id : ids) {
            EXPECT_EQ(snapshot.collapsed.value(id), Store::collapsed(id)) << id.toStdString();
        }
    };
    for (const QByteArray& file : files) {
        SCOPED_TRACE(file.toStdString());
        test::TempHome home;
        writeRaw(file);
        expectSame();
    }
    // Writes of this process are seen by the next snapshot at once.
    Store::setCollapsed("recent", true);
    Store::insertPausedPath("/c");
    Store::logRecent("u", "removed", "/c");
    const Store::Snapshot after = Store::snapshot(ids);
    EXPECT_TRUE(after.collapsed.value("recent"));
    EXPECT_TRUE(after.pausedPaths.contains("/c"));
    ASSERT_FALSE(after.recent.isEmpty());
    EXPECT_EQ(after.recent.first().title, "u");
    expectSame();
}

TEST_F(StoreTest, DefaultOpenFolderSetAndUnset) {
    const QString folder = QString::fromUtf8("/home/ana/My Stuff, 2024/@café");
    Store::setDefaultOpenFolder(folder);
    EXPECT_EQ(Store::defaultOpenFolder(), folder);
    reloadFromDisk();
    EXPECT_EQ(Store::defaultOpenFolder(), folder);

    Store::setDefaultOpenFolder(std::nullopt);
    EXPECT_EQ(Store::defaultOpenFolder(), std::nullopt);
    EXPECT_FALSE(onDiskHas("defaultOpenFolder"));
}

TEST_F(StoreTest, DefaultOpenFolderOfTheWrongTypeIsAbsent) {
    writeRaw("[General]\ndefaultOpenFolder=/a, /b\n");
    EXPECT_EQ(Store::defaultOpenFolder(), std::nullopt);
    test::TempHome home;
    writeRaw("[General]\ndefaultOpenFolder=@ByteArray(/a)\n");
    EXPECT_EQ(Store::defaultOpenFolder(), std::nullopt);
}

TEST_F(StoreTest, EveryWriteIsOnDiskWhenTheCallReturns) {
    Store::setPausedPaths({"/p"});
    EXPECT_EQ(onDisk("pausedPaths").toString(), "/p");
    Store::insertPausedPath("/q");
    EXPECT_EQ(onDisk("pausedPaths").toStringList(), QStringList({"/p", "/q"}));
    Store::removePausedPath("/p");
    EXPECT_EQ(onDisk("pausedPaths").toString(), "/q");
    Store::setDefaultOpenFolder("/d");
    EXPECT_EQ(onDisk("defaultOpenFolder").toString(), "/d");
    Store::setCollapsed("paused", true);
    EXPECT_EQ(onDisk("collapsed.paused").toString(), "true");
    Store::setPanelCollapsed(true);
    EXPECT_EQ(onDisk("panelCollapsed").toString(), "true");
    Store::logRecent("srv", "stopped");
    EXPECT_TRUE(onDisk("recentEvents").toByteArray().contains("\"srv\""));
}

TEST_F(StoreTest, DamagedFileKeepsWhatIsReadableAndHealsOnTheNextWrite) {
    writeRaw(QByteArray("\0\xff\xfe binary junk\n", 17) +
             "[General]\n"
             "panelCollapsed=true\n"
             "this line has no equals sign\n"
             "recentEvents=@ByteArray([{\"title\":)\n"
             "[unterminated section\n"
             "collapsed.quick=true\n");
    ASSERT_EQ(onDiskStatus(), QSettings::FormatError);

    EXPECT_TRUE(Store::panelCollapsed());
    EXPECT_FALSE(Store::collapsed("quick"));  // it sits in the broken section
    EXPECT_TRUE(Store::recent().isEmpty());
    EXPECT_TRUE(Store::pausedPaths().isEmpty());

    Store::setCollapsed("recent", true);
    EXPECT_EQ(onDiskStatus(), QSettings::NoError);
    EXPECT_EQ(onDisk("collapsed.recent").toString(), "true");
    EXPECT_EQ(onDisk("panelCollapsed").toString(), "true");

    Store::logRecent("srv", "stopped");
    EXPECT_EQ(Store::recent().size(), 1);
}

TEST_F(StoreTest, FileOfPureGarbageReadsAsFallbacksAndIsReplaced) {
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage.append(static_cast<char>((i * 7919 + 13) % 256));
    }
    writeRaw(garbage);
    EXPECT_FALSE(Store::panelCollapsed());
    EXPECT_TRUE(Store::pausedPaths().isEmpty());
    EXPECT_TRUE(Store::recent().isEmpty());
    Store::insertPausedPath("/kept");
    EXPECT_EQ(onDiskStatus(), QSettings::NoError);
    EXPECT_EQ(onDisk("pausedPaths").toString(), "/kept");
    reloadFromDisk();
    EXPECT_EQ(Store::pausedPaths(), QSet<QString>({"/kept"}));
}

TEST_F(StoreTest, SettingsPathThatIsAFolderNeverCrashes) {
    ASSERT_TRUE(QDir().mkpath(settingsFile()));
    EXPECT_FALSE(Store::panelCollapsed());
    EXPECT_TRUE(Store::recent().isEmpty());
    Store::setPanelCollapsed(true);
    Store::insertPausedPath("/p");
    Store::logRecent("srv", "stopped");
    Store::setDefaultOpenFolder("/d");
    EXPECT_TRUE(QFileInfo(settingsFile()).isDir());
}

TEST_F(StoreTest, UnwritableLocationNeverCrashes) {
    // A settings folder whose parent is a plain file cannot be created, even
    // by root.
    const QString blocker = m_home.scratch() + "/blocker";
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker + "/config");
    Store::setPanelCollapsed(true);
    Store::setPausedPaths({"/a", "/b"});
    Store::logRecent("srv", "stopped");
    Store::setDefaultOpenFolder(std::nullopt);
    (void)Store::pausedPaths();
    (void)Store::recent();
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST_F(StoreTest, ReadOnlyFileKeepsItsValuesAndNeverCrashes) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes read-only files";
    }
    // Named before the file exists: asking QSettings afterwards would parse
    // and keep it while it is still readable.
    const QString file = settingsFile();
    writeRaw("[General]\npanelCollapsed=true\n");
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner));
    EXPECT_TRUE(Store::panelCollapsed());
    Store::setCollapsed("hosted", true);
    EXPECT_EQ(readRaw(), "[General]\npanelCollapsed=true\n");
}

TEST_F(StoreTest, UnreadableFileReadsAsFallbacksAndIsReplacedByTheNextWrite) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads unreadable files";
    }
    // Named before the file exists: asking QSettings afterwards would parse
    // and keep it while it is still readable.
    const QString file = settingsFile();
    writeRaw("[General]\npanelCollapsed=true\n");
    ASSERT_TRUE(QFile::setPermissions(file, QFile::WriteOwner));
    EXPECT_FALSE(Store::panelCollapsed());
    Store::setCollapsed("hosted", true);
    ASSERT_TRUE(QFileInfo(settingsFile()).isReadable());
    EXPECT_EQ(onDisk("collapsed.hosted").toString(), "true");
    EXPECT_FALSE(onDiskHas("panelCollapsed"));
}

TEST_F(StoreTest, NetworkNoticesAreOnUntilTurnedOff) {
    EXPECT_TRUE(Store::notifyWhenExposed());
    Store::setNotifyWhenExposed(false);
    reloadFromDisk();
    EXPECT_FALSE(Store::notifyWhenExposed());
    Store::setNotifyWhenExposed(true);
    EXPECT_TRUE(Store::notifyWhenExposed());
    writeRaw("[General]\nnotifyWhenExposed=false\n");
    EXPECT_FALSE(Store::notifyWhenExposed());
}

TEST_F(StoreTest, EveryListenerIsShownOnlyWhenTurnedOn) {
    EXPECT_FALSE(Store::showEveryListener());
    EXPECT_FALSE(Store::snapshot({}).showEveryListener);
    Store::setShowEveryListener(true);
    reloadFromDisk();
    EXPECT_TRUE(Store::showEveryListener());
    EXPECT_TRUE(Store::snapshot({}).showEveryListener);
    writeRaw("[General]\nshowEveryListener=yes please\n");
    EXPECT_FALSE(Store::showEveryListener());
}
