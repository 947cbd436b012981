#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QSettings>
#include <QTest>
#include <QVBoxLayout>

#include <sys/inotify.h>
#include <unistd.h>

#include "PanelFixture.h"
#include "app/ActivatingPanel.h"
#include "app/ElidedLabel.h"
#include "app/FlippedStackView.h"
#include "app/SectionHeader.h"
#include "app/SharePopup.h"
#include "app/SymbolButton.h"
#include "quickhost/PackageDiscovery.h"
#include "scan/HostScanner.h"
#include "store/Clock.h"
#include "store/Store.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

using test::PanelFixture;

QString compactText(AppDelegate& d) {
    return d.headerCompactView()->findChild<ElidedLabel*>()->text();
}

bool contains(QWidget* outer, QWidget* inner) {
    return outer == inner || outer->isAncestorOf(inner);
}

TEST(PanelFrameTest, SitsTwentyFourFromTheTopRightCornerOfTheAvailableArea) {
    EXPECT_EQ(ActivatingPanel::frameFor(QRect(0, 0, 1440, 875)), QRect(1056, 24, 360, 560));
    EXPECT_EQ(ActivatingPanel::frameFor(QRect(0, 25, 1920, 1055)), QRect(1536, 49, 360, 560));
    EXPECT_EQ(ActivatingPanel::frameFor(QRect(1440, 0, 1280, 800)), QRect(2336, 24, 360, 560));
}

class PanelBuildTest : public PanelFixture {};

TEST_F(PanelBuildTest, BuildsTheFramelessPanelOnThePrimaryScreen) {
    build();
    ActivatingPanel* panel = delegate->window();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->panelGeometry(),
              ActivatingPanel::frameFor(QGuiApplication::primaryScreen()->availableGeometry()));
    const Qt::WindowFlags flags = panel->windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(flags & Qt::X11BypassWindowManagerHint);
    EXPECT_TRUE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(panel->isVisible());  // launch shows it
    EXPECT_EQ(delegate->expandedHeight(), 560);
}

TEST_F(PanelBuildTest, TheDocumentHoldsTheFifteenRowsInOrder) {
    build();
    const QList<QWidget*> rows = delegate->documentView()->arrangedSubviews();
    ASSERT_EQ(rows.size(), 15);
    EXPECT_TRUE(contains(rows[0], delegate->hostedHeader()->row()));
    EXPECT_EQ(rows[1], delegate->hostedEmptyRow());
    EXPECT_EQ(rows[2], delegate->hostedListRow());
    EXPECT_EQ(rows[3]->objectName(), "separator");
    EXPECT_TRUE(contains(rows[4], delegate->quickHeader()->row()));
    EXPECT_TRUE(contains(rows[4], delegate->openButton()));
    EXPECT_EQ(rows[5]->findChild<QLabel*>()->text(), "Quickly host anything from your machine");
    EXPECT_TRUE(contains(rows[6], delegate->defaultFolderLabel()));
    EXPECT_TRUE(contains(rows[6], delegate->changeButton()));
    EXPECT_EQ(rows[7], delegate->quickListRow());
    EXPECT_EQ(rows[8]->objectName(), "separator");
    EXPECT_TRUE(contains(rows[9], delegate->recentHeader()->row()));
    EXPECT_EQ(rows[10], delegate->recentEmptyRow());
    EXPECT_EQ(rows[11], delegate->recentListRow());
    EXPECT_EQ(rows[12]->objectName(), "separator");
    EXPECT_TRUE(contains(rows[13], delegate->pausedHeader()->row()));
    EXPECT_EQ(rows[14], delegate->pausedListRow());

    EXPECT_EQ(delegate->hostedHeader()->text(), "CURRENTLY HOSTED");
    EXPECT_EQ(delegate->hostedEmptyLabel()->text(), "Nothing hosted right now \u2705");
    EXPECT_EQ(delegate->recentEmptyLabel()->text(), "Nothing recently stopped");
    EXPECT_EQ(delegate->defaultFolderLabel()->text(), "Default: not set");
    EXPECT_EQ(delegate->titleLabel()->text(), "\U0001F310  Varnholt Control");
    EXPECT_EQ(delegate->openButton()->width(), 55);
    EXPECT_EQ(delegate->changeButton()->width(), 60);

    // Content view children: title, compact, expanded, collapse, close, scroll.
    QList<QWidget*> children;
    for (QObject* child : delegate->contentView()->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child)) {
            children << widget;
        }
    }
    const QList<QWidget*> expected = {delegate->titleLabel(),         delegate->headerCompactView(),
                                      delegate->headerExpandedView(), delegate->collapseButton(),
                                      delegate->closeButton(),        delegate->scrollView()};
    EXPECT_EQ(children, expected);
}

TEST_F(PanelBuildTest, StartsExpandedWhenThePanelWasNotCollapsed) {
    build();
    EXPECT_EQ(delegate->collapseButton()->symbol(), "chevron.up");
    EXPECT_TRUE(delegate->headerCompactView()->isHidden());
    EXPECT_FALSE(delegate->headerExpandedView()->isHidden());
    EXPECT_FALSE(delegate->scrollView()->isHidden());
    const int contentHeight = delegate->contentView()->height();
    EXPECT_EQ(delegate->scrollView()->geometry().bottom() + 1, contentHeight);
    EXPECT_EQ(delegate->window()->panelGeometry().height(), 560);
}

TEST_F(PanelBuildTest, StartsCollapsedAtOnceWhenThePanelWasCollapsed) {
    Store::setPanelCollapsed(true);
    build();
    EXPECT_EQ(delegate->collapseButton()->symbol(), "chevron.down");
    EXPECT_FALSE(delegate->headerCompactView()->isHidden());
    EXPECT_TRUE(delegate->headerExpandedView()->isHidden());
    EXPECT_TRUE(delegate->scrollView()->isHidden());
    EXPECT_EQ(delegate->scrollView()->height(), 0);
    const QRect frame = delegate->window()->panelGeometry();
    EXPECT_EQ(frame.height(), delegate->collapsedHeight());
    EXPECT_EQ(
        frame.top(),
        ActivatingPanel::frameFor(QGuiApplication::primaryScreen()->availableGeometry()).top());
    EXPECT_EQ(refreshes, 1);  // the collapse ends with a refresh
}

TEST_F(PanelBuildTest, AStoredCollapsedSectionStartsCollapsedAndTogglingStoresAndRefreshes) {
    Store::setCollapsed(QStringLiteral("recent"), true);
    build();
    EXPECT_FALSE(delegate->recentHeader()->expanded());
    EXPECT_TRUE(delegate->hostedHeader()->expanded());
    EXPECT_EQ(delegate->recentHeader()->toggleButton()->symbol(), "chevron.right");

    data = sampleData();
    data.recentCollapsed = true;
    delegate->apply(data);
    EXPECT_TRUE(delegate->recentListRow()->isHidden());

    const int before = refreshes;
    data.recentCollapsed = false;
    delegate->recentHeader()->toggleButton()->click();
    EXPECT_FALSE(Store::collapsed(QStringLiteral("recent")));
    EXPECT_EQ(refreshes, before + 1);
    EXPECT_FALSE(delegate->recentListRow()->isHidden());

    delegate->hostedHeader()->toggleButton()->click();
    EXPECT_TRUE(Store::collapsed(QStringLiteral("hosted")));
}

TEST_F(PanelBuildTest, DefaultFolderLabelShortensTheHomeFolder) {
    Store::setDefaultOpenFolder(QDir::homePath() + "/Sites");
    build();
    EXPECT_EQ(delegate->defaultFolderLabel()->text(), "Default: ~/Sites");
    Store::setDefaultOpenFolder(QStringLiteral("/srv/www"));
    delegate->updateDefaultFolderLabel();
    EXPECT_EQ(delegate->defaultFolderLabel()->text(), "Default: /srv/www");
}

TEST_F(PanelBuildTest, CloseHidesCopyCopiesTheAddressAndShareShowsItsCode) {
    build();
    delegate->window()->show();
    delegate->closeButton()->click();
    EXPECT_FALSE(delegate->window()->isVisible());
    delegate->toggleWindow();
    EXPECT_TRUE(delegate->window()->isVisible());

    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    delegate->copyButton()->click();
    const QString address = HostScanner::wifiIP();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), address);

    delegate->shareButton()->click();
    ASSERT_NE(delegate->sharePopup(), nullptr);
    EXPECT_EQ(delegate->sharePopup()->text(), address);
    EXPECT_TRUE(delegate->sharePopup()->isVisible());
    delegate->sharePopup()->close();
}

// ---------------------------------------------------------------------------
// Collapse and resize

class CollapseTest : public PanelFixture {
protected:
    void waitForAnimation() {
        test::waitUntil([&] { return delegate->collapseAnimation() == nullptr; }, 3s);
    }
};

TEST_F(CollapseTest, CollapsedHeightIsTitleMarginsAndCompactHeader) {
    build();
    const int expected =
        delegate->titleLabel()->height() + 14 + 10 + delegate->headerCompactView()->height() + 14;
    EXPECT_EQ(delegate->collapsedHeight(), expected);
    EXPECT_EQ(delegate->titleLabel()->y(), 14);
    EXPECT_EQ(delegate->headerCompactView()->y(), delegate->titleLabel()->geometry().bottom() + 11);
}

TEST_F(CollapseTest, ExpandReturnsToTheLastHandMadeHeightWithTheTopEdgeFixed) {
    build();
    ActivatingPanel* panel = delegate->window();
    panel->show();
    QRect frame = panel->panelGeometry();
    panel->setPanelGeometry(QRect(frame.x(), frame.y(), frame.width(), 700));
    EXPECT_EQ(delegate->expandedHeight(), 700);
    const int top = panel->panelGeometry().top();

    delegate->togglePanelCollapse();
    EXPECT_TRUE(Store::panelCollapsed());
    EXPECT_EQ(delegate->collapseButton()->symbol(), "chevron.down");
    waitForAnimation();
    EXPECT_EQ(panel->panelGeometry().height(), delegate->collapsedHeight());
    EXPECT_EQ(panel->panelGeometry().top(), top);
    EXPECT_EQ(delegate->expandedHeight(), 700);

    // A hand resize while collapsed is not remembered.
    frame = panel->panelGeometry();
    panel->setPanelGeometry(QRect(frame.x(), frame.y(), frame.width(), 300));
    EXPECT_EQ(delegate->expandedHeight(), 700);

    delegate->togglePanelCollapse();
    EXPECT_FALSE(Store::panelCollapsed());
    waitForAnimation();
    EXPECT_EQ(panel->panelGeometry().height(), 700);
    EXPECT_EQ(panel->panelGeometry().top(), top);
    EXPECT_EQ(delegate->collapseButton()->symbol(), "chevron.up");
    EXPECT_FALSE(delegate->scrollView()->isHidden());
}

TEST_F(CollapseTest, LaunchCollapsedThenExpandReturnsTo560) {
    Store::setPanelCollapsed(true);
    build();
    delegate->window()->show();
    delegate->togglePanelCollapse();
    waitForAnimation();
    EXPECT_EQ(delegate->window()->panelGeometry().height(), 560);
}

// ---------------------------------------------------------------------------
// Refresh

class RefreshTest : public PanelFixture {};

TEST_F(RefreshTest, NetworkLineAndSummaryFollowTheNameAndTheCount) {
    build();
    struct Case {
        QString ssid;
        int servers;
        QString line;
        QString summary;
        QString header;
    };
    const QList<Case> cases = {
        {"Home", 0, "Home \u00B7 192.168.1.20", "192.168.1.20", "CURRENTLY HOSTED"},
        {"", 1, "Wi-Fi: 192.168.1.20", "192.168.1.20 \u2014 1 file hosted", "CURRENTLY HOSTED - 1"},
        {"Home", 2, "Home \u00B7 192.168.1.20", "192.168.1.20 \u2014 2 files hosted",
         "CURRENTLY HOSTED - 2"},
        {"Home", 3, "Home \u00B7 192.168.1.20", "192.168.1.20 \u2014 3 files hosted",
         "CURRENTLY HOSTED - 3"},
    };
    for (const Case& c : cases) {
        data = sampleData();
        data.ssid = c.ssid;
        data.servers = data.servers.mid(0, c.servers);
        delegate->apply(data);
        EXPECT_EQ(delegate->headerSubtitle()->text(), c.line);
        EXPECT_EQ(compactText(*delegate), c.summary);
        EXPECT_EQ(delegate->hostedHeader()->text(), c.header);
        EXPECT_EQ(delegate->hostedStack()->arrangedSubviews().size(), c.servers);
        EXPECT_EQ(delegate->hostedEmptyRow()->isHidden(), c.servers > 0);
    }
    data.paused = {};
    delegate->apply(data);
    EXPECT_EQ(delegate->pausedHeader()->text(), "PAUSED");
    data.paused = {{"A", "/a"}, {"B", "/b"}, {"C", "/c"}};
    delegate->apply(data);
    EXPECT_EQ(delegate->pausedHeader()->text(), "PAUSED - 3");
    EXPECT_EQ(delegate->quickHeader()->text(), "QUICK HOST");
    EXPECT_EQ(delegate->recentHeader()->text(), "RECENT");
}

TEST_F(RefreshTest, CollapsedSectionsKeepTheirRowsButHideTheirContainers) {
    build();
    data = sampleData();
    data.hostedCollapsed = data.quickCollapsed = data.recentCollapsed = data.pausedCollapsed = true;
    delegate->apply(data);
    for (QWidget* container :
         {delegate->hostedListRow(), delegate->hostedEmptyRow(), delegate->quickListRow(),
          delegate->recentListRow(), delegate->recentEmptyRow(), delegate->pausedListRow()}) {
        EXPECT_TRUE(container->isHidden());
    }
    EXPECT_EQ(delegate->hostedStack()->arrangedSubviews().size(), 3);
    EXPECT_EQ(delegate->quickStack()->arrangedSubviews().size(), 2);
    EXPECT_EQ(delegate->recentStack()->arrangedSubviews().size(), 2);
    EXPECT_EQ(delegate->pausedStack()->arrangedSubviews().size(), 1);
    EXPECT_EQ(delegate->hostedHeader()->text(), "CURRENTLY HOSTED - 3");
    EXPECT_EQ(delegate->pausedHeader()->text(), "PAUSED - 1");

    // Empty sections: only the hosted and recent empty rows show.
    data = PanelData{};
    data.address = QStringLiteral("not connected");
    delegate->apply(data);
    EXPECT_FALSE(delegate->hostedEmptyRow()->isHidden());
    EXPECT_FALSE(delegate->recentEmptyRow()->isHidden());
    EXPECT_FALSE(delegate->quickListRow()->isHidden());
    EXPECT_TRUE(delegate->quickStack()->arrangedSubviews().isEmpty());
    EXPECT_TRUE(delegate->pausedStack()->arrangedSubviews().isEmpty());
    EXPECT_EQ(delegate->headerSubtitle()->text(), "Wi-Fi: not connected");
}

TEST_F(RefreshTest, NamesWithControlCharactersAreShownEscapedOnOneLine) {
    Store::setDefaultOpenFolder(QStringLiteral("/srv/new\nline"));
    build();
    data = sampleData();
    data.ssid = QStringLiteral("Home\x1b[2J");
    data.servers = {{4242, "python3", 8000, "NET", "two\nlines"}};
    data.quick = {{"tab\there", "/nowhere/tab\there"}};
    data.recent = {{"evil\u202Etxt", "stopped\r", 1.0e9, std::nullopt}};
    data.paused = {{"bell\a", "/nowhere/bell\a"}};
    delegate->apply(data);

    QStringList shown;
    for (const ElidedLabel* label : delegate->window()->findChildren<ElidedLabel*>()) {
        shown << label->text() << label->toolTip() << label->accessibleName();
    }
    for (const QLabel* label : delegate->window()->findChildren<QLabel*>()) {
        shown << label->text();
    }
    for (const QString& text : shown) {
        for (const QChar c : text) {
            EXPECT_NE(c.category(), QChar::Other_Control) << text.toStdString();
        }
    }
    for (const char* expected : {"Home\\x1b[2J \u00B7 192.168.1.20", "two\\nlines", "tab\\there",
                                 "evil\\u202etxt \u00B7 stopped\\r", "bell\\x07"}) {
        EXPECT_TRUE(shown.contains(QString::fromUtf8(expected))) << expected;
    }
}

TEST_F(RefreshTest, GatheringReadsTheSettingsFileOnceAndSeesWhatItHolds) {
    build();
    // Enough keys that Qt keeps no parsed copy between readers: every opening
    // of the store then reads and parses the whole file again.
    const QString file = QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                   Store::kOrganization, Store::kApplication)
                             .fileName();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    const QString old = PackageDiscovery::packagesFolder() + "/Old";
    ASSERT_TRUE(QDir().mkpath(old));
    ASSERT_TRUE(QDir().mkpath(PackageDiscovery::packagesFolder() + "/New"));
    QByteArray text = "[General]\ncollapsed.recent=true\npausedPaths=" + old.toUtf8() + "\n";
    for (int i = 0; i < 2000; ++i) {
        text += "handEdited" + QByteArray::number(i) + "=padding\n";
    }
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    ASSERT_EQ(out.write(text), text.size());
    out.close();

    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    // Closes are watched too: identical events in a row would be merged.
    ASSERT_GE(
        inotify_add_watch(watcher, QFile::encodeName(file).constData(), IN_OPEN | IN_CLOSE_NOWRITE),
        0);
    const PanelData gathered = delegate->gather();
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = read(watcher, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            opens += (event->mask & IN_OPEN) ? 1 : 0;
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watcher);
    EXPECT_EQ(opens, 1);
    EXPECT_TRUE(gathered.recentCollapsed);
    EXPECT_FALSE(gathered.hostedCollapsed || gathered.quickCollapsed || gathered.pausedCollapsed);
    ASSERT_EQ(gathered.paused.size(), 1);
    EXPECT_EQ(gathered.paused[0].path, old);
    ASSERT_EQ(gathered.quick.size(), 1);
    EXPECT_EQ(gathered.quick[0].title, "New");
}

TEST_F(RefreshTest, RecentRowsKeepTheirWidthWhileTheOthersSpanTheStack) {
    build();
    delegate->window()->show();
    data = sampleData();
    delegate->apply(data);
    QCoreApplication::processEvents();
    const auto layoutOf = [](FlippedStackView* stack) {
        stack->stackLayout()->activate();
        return stack;
    };
    for (FlippedStackView* stack :
         {delegate->hostedStack(), delegate->quickStack(), delegate->pausedStack()}) {
        layoutOf(stack);
        for (QWidget* row : stack->arrangedSubviews()) {
            EXPECT_EQ(row->width(), stack->contentsRect().width());
        }
    }
    layoutOf(delegate->recentStack());
    for (QWidget* row : delegate->recentStack()->arrangedSubviews()) {
        EXPECT_EQ(row->width(), row->sizeHint().width());
        EXPECT_LT(row->width(), delegate->recentStack()->width());
    }
}

TEST_F(RefreshTest, UnchangedRowsAreKeptAndOnlyChangedOnesRebuilt) {
    build();
    data = sampleData();
    delegate->apply(data);
    const QList<QWidget*> hosted = delegate->hostedStack()->arrangedSubviews();
    const QList<QWidget*> recent = delegate->recentStack()->arrangedSubviews();
    delegate->apply(data);
    EXPECT_EQ(delegate->hostedStack()->arrangedSubviews(), hosted);
    EXPECT_EQ(delegate->recentStack()->arrangedSubviews(), recent);

    data.servers[1].friendlyName = QStringLiteral("renamed");
    delegate->apply(data);
    const QList<QWidget*> after = delegate->hostedStack()->arrangedSubviews();
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0], hosted[0]);
    EXPECT_NE(after[1], hosted[1]);
    EXPECT_EQ(after[2], hosted[2]);
    EXPECT_TRUE(hosted[1]->isHidden());  // going, deleted later

    // A new address changes every hosted row's URL.
    data.address = QStringLiteral("10.0.0.7");
    delegate->apply(data);
    EXPECT_NE(delegate->hostedStack()->arrangedSubviews()[0], hosted[0]);

    // Kept recent rows still get their relative time renewed.
    Clock::setSource([] { return 1.0e9 + 3 * 3600; });
    delegate->apply(data);
    EXPECT_EQ(delegate->recentStack()->arrangedSubviews(), recent);
    EXPECT_EQ(recent[0]->findChild<QLabel*>(QStringLiteral("timeLabel"))->text(), "3h ago");
    Clock::resetSource();
}

TEST_F(RefreshTest, ATimerRefreshWaitsForTheMouseButtonSoTheClickIsNotLost) {
    build();
    delegate->window()->show();
    data = sampleData();
    delegate->apply(data);
    QCoreApplication::processEvents();
    QWidget* row = delegate->recentStack()->arrangedSubviews()[0];
    ClosureButton* dismiss = test::buttonTitled(row, QStringLiteral("\u2715"));
    ASSERT_NE(dismiss, nullptr);
    bool clicked = false;
    dismiss->setHandler([&] { clicked = true; });

    QTest::mousePress(dismiss, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_NE(QGuiApplication::mouseButtons(), Qt::NoButton);
    data.recent[0].title = QStringLiteral("changed");  // the row would be replaced
    const int before = refreshes;
    delegate->timerFired();
    EXPECT_EQ(refreshes, before);
    EXPECT_TRUE(delegate->refreshDeferred());
    EXPECT_EQ(delegate->recentStack()->arrangedSubviews()[0], row);

    QTest::mouseRelease(dismiss, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(test::waitUntil([&] { return refreshes == before + 1; }, 2s));
    EXPECT_FALSE(delegate->refreshDeferred());
    EXPECT_NE(delegate->recentStack()->arrangedSubviews()[0], row);

    delegate->timerFired();  // no button held: at once
    EXPECT_EQ(refreshes, before + 2);
}

// ---------------------------------------------------------------------------
// Screenshots for review

class ScreenshotTest : public PanelFixture {
protected:
    QImage render() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ActivatingPanel* panel = delegate->window();
        QImage image(panel->size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(QColor(70, 90, 110));  // a desktop behind the panel
        panel->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    void save(const QImage& image, const QString& name) {
        const QString folder = QStringLiteral(VARNHOLT_BINARY_DIR) + "/screenshots";
        QDir().mkpath(folder);
        EXPECT_TRUE(image.save(folder + "/" + name));
    }
};

TEST_F(ScreenshotTest, RendersThePanelExpandedAndCollapsedWithLiveRows) {
    build();
    ActivatingPanel* panel = delegate->window();
    panel->show();
    data = sampleData();
    data.servers.append({0, "python3", 8080, "NET", "a-folder-with-a-very-long-name-indeed"});
    data.quick = {{"Alpha", "/nowhere/Alpha"}, {"Beta site", "/nowhere/Beta"}};
    data.recent[0].at = Clock::now() - 42;
    data.recent[1].at = Clock::now() - 3 * 60;
    delegate->apply(data);
    const QImage expanded = render();
    EXPECT_EQ(expanded.size(), panel->size() * 2);
    EXPECT_EQ(panel->panelGeometry().size(), QSize(360, 560));
    // The body is the panel grey; the corner outside the rounding is not.
    const int m = ActivatingPanel::kShadowMargin;
    EXPECT_EQ(expanded.pixelColor(2 * (m + 180), 2 * (m + 540)), QColor(41, 41, 41));
    EXPECT_NE(expanded.pixelColor(2 * m + 1, 2 * m + 1), QColor(41, 41, 41));
    save(expanded, QStringLiteral("panel-expanded.png"));

    Store::setPanelCollapsed(true);
    delegate->applyCollapseState(false);
    const QImage collapsed = render();
    EXPECT_EQ(collapsed.height(), (delegate->collapsedHeight() + 2 * m) * 2);
    save(collapsed, QStringLiteral("panel-collapsed.png"));
}

}  // namespace
}  // namespace varnholt
