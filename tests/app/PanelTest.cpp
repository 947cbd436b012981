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
#include "app/controls/ElidedLabel.h"
#include "app/controls/FlippedStackView.h"
#include "app/controls/SectionHeader.h"
#include "app/controls/SharePopup.h"
#include "app/controls/SymbolButton.h"
#include "app/panel/ActivatingPanel.h"
#include "quickhost/PackageDiscovery.h"
#include "scan/HostScanner.h"
#include "store/Clock.h"
#include "store/Store.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

using test::PanelFixture;

QString compactText(PanelHeader* header) {
    return header->compactView()->findChild<ElidedLabel*>()->text();
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
    ActivatingPanel* panel = window();
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
    EXPECT_EQ(delegate->panel()->expandedHeight(), 560);
}

TEST_F(PanelBuildTest, TheDocumentHoldsTheFifteenRowsInOrder) {
    build();
    const QList<QWidget*> rows = view()->documentView()->arrangedSubviews();
    ASSERT_EQ(rows.size(), 15);
    EXPECT_TRUE(contains(rows[0], view()->hosted().header()->row()));
    EXPECT_EQ(rows[1], view()->hosted().emptyRow());
    EXPECT_EQ(rows[2], view()->hosted().listRow());
    EXPECT_EQ(rows[3]->objectName(), "separator");
    EXPECT_TRUE(contains(rows[4], view()->quick().header()->row()));
    EXPECT_TRUE(contains(rows[4], view()->openButton()));
    EXPECT_EQ(rows[5]->findChild<QLabel*>()->text(), "Quickly host anything from your machine");
    EXPECT_TRUE(contains(rows[6], view()->defaultFolderLabel()));
    EXPECT_TRUE(contains(rows[6], view()->changeButton()));
    EXPECT_EQ(rows[7], view()->quick().listRow());
    EXPECT_EQ(rows[8]->objectName(), "separator");
    EXPECT_TRUE(contains(rows[9], view()->recent().header()->row()));
    EXPECT_EQ(rows[10], view()->recent().emptyRow());
    EXPECT_EQ(rows[11], view()->recent().listRow());
    EXPECT_EQ(rows[12]->objectName(), "separator");
    EXPECT_TRUE(contains(rows[13], view()->paused().header()->row()));
    EXPECT_EQ(rows[14], view()->paused().listRow());

    EXPECT_EQ(view()->hosted().header()->text(), "CURRENTLY HOSTED");
    EXPECT_EQ(view()->hosted().emptyLabel()->text(), "Nothing hosted right now \u2705");
    EXPECT_EQ(view()->recent().emptyLabel()->text(), "Nothing recently stopped");
    EXPECT_EQ(view()->defaultFolderLabel()->text(), "Default: not set");
    EXPECT_EQ(header()->titleLabel()->text(), "\U0001F310  Varnholt Control");
    // The widths asked for, or what the platform's font needs beyond them.
    EXPECT_GE(view()->openButton()->width(), 55);
    EXPECT_GE(view()->changeButton()->width(), 60);

    // Content view children: title, compact, expanded, collapse, close, scroll.
    QList<QWidget*> children;
    for (QObject* child : view()->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child)) {
            children << widget;
        }
    }
    const QList<QWidget*> expected = {header()->titleLabel(),   header()->compactView(),
                                      header()->expandedView(), header()->collapseButton(),
                                      header()->closeButton(),  view()->scrollView()};
    EXPECT_EQ(children, expected);
}

TEST_F(PanelBuildTest, StartsExpandedWhenThePanelWasNotCollapsed) {
    build();
    EXPECT_EQ(header()->collapseButton()->symbol(), "chevron.up");
    EXPECT_TRUE(header()->compactView()->isHidden());
    EXPECT_FALSE(header()->expandedView()->isHidden());
    EXPECT_FALSE(view()->scrollView()->isHidden());
    const int contentHeight = view()->height();
    EXPECT_EQ(view()->scrollView()->geometry().bottom() + 1, contentHeight);
    EXPECT_EQ(window()->panelGeometry().height(), 560);
}

TEST_F(PanelBuildTest, StartsCollapsedAtOnceWhenThePanelWasCollapsed) {
    Store::setPanelCollapsed(true);
    build();
    EXPECT_EQ(header()->collapseButton()->symbol(), "chevron.down");
    EXPECT_FALSE(header()->compactView()->isHidden());
    EXPECT_TRUE(header()->expandedView()->isHidden());
    EXPECT_TRUE(view()->scrollView()->isHidden());
    EXPECT_EQ(view()->scrollView()->height(), 0);
    const QRect frame = window()->panelGeometry();
    EXPECT_EQ(frame.height(), delegate->panel()->collapsedHeight());
    EXPECT_EQ(
        frame.top(),
        ActivatingPanel::frameFor(QGuiApplication::primaryScreen()->availableGeometry()).top());
    EXPECT_EQ(refreshes, 1);  // the collapse ends with a refresh
}

TEST_F(PanelBuildTest, AStoredCollapsedSectionStartsCollapsedAndTogglingStoresAndRefreshes) {
    Store::setCollapsed(QStringLiteral("recent"), true);
    build();
    EXPECT_FALSE(view()->recent().header()->expanded());
    EXPECT_TRUE(view()->hosted().header()->expanded());
    EXPECT_EQ(view()->recent().header()->toggleButton()->symbol(), "chevron.right");

    data = sampleData();
    data.recentCollapsed = true;
    delegate->apply(data);
    EXPECT_TRUE(view()->recent().listRow()->isHidden());

    const int before = refreshes;
    data.recentCollapsed = false;
    view()->recent().header()->toggleButton()->click();
    EXPECT_FALSE(Store::collapsed(QStringLiteral("recent")));
    EXPECT_EQ(refreshes, before + 1);
    EXPECT_FALSE(view()->recent().listRow()->isHidden());

    view()->hosted().header()->toggleButton()->click();
    EXPECT_TRUE(Store::collapsed(QStringLiteral("hosted")));
}

TEST_F(PanelBuildTest, DefaultFolderLabelShortensTheHomeFolder) {
    Store::setDefaultOpenFolder(QDir::homePath() + "/Sites");
    build();
    EXPECT_EQ(view()->defaultFolderLabel()->text(), "Default: ~/Sites");
    Store::setDefaultOpenFolder(QStringLiteral("/srv/www"));
    view()->updateDefaultFolderLabel();
    EXPECT_EQ(view()->defaultFolderLabel()->text(), "Default: /srv/www");
}

TEST_F(PanelBuildTest, CloseHidesCopyCopiesTheAddressAndShareShowsItsCode) {
    build();
    window()->show();
    header()->closeButton()->click();
    EXPECT_FALSE(window()->isVisible());
    delegate->panel()->toggle();
    EXPECT_TRUE(window()->isVisible());

    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    header()->copyButton()->click();
    const QString address = HostScanner::wifiIP();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), address);

    header()->shareButton()->click();
    ASSERT_NE(view()->sharePopup(), nullptr);
    EXPECT_EQ(view()->sharePopup()->text(), address);
    EXPECT_TRUE(view()->sharePopup()->isVisible());
    view()->sharePopup()->close();
}

// ---------------------------------------------------------------------------
// Collapse and resize

class CollapseTest : public PanelFixture {
protected:
    void waitForAnimation() {
        test::waitUntil([&] { return delegate->panel()->collapseAnimation() == nullptr; }, 3s);
    }
};

TEST_F(CollapseTest, CollapsedHeightIsTitleMarginsAndCompactHeader) {
    build();
    const int expected =
        header()->titleLabel()->height() + 14 + 10 + header()->compactView()->height() + 14;
    EXPECT_EQ(delegate->panel()->collapsedHeight(), expected);
    EXPECT_EQ(header()->titleLabel()->y(), 14);
    EXPECT_EQ(header()->compactView()->y(), header()->titleLabel()->geometry().bottom() + 11);
}

TEST_F(CollapseTest, ExpandReturnsToTheLastHandMadeHeightWithTheTopEdgeFixed) {
    build();
    ActivatingPanel* panel = window();
    panel->show();
    QRect frame = panel->panelGeometry();
    panel->setPanelGeometry(QRect(frame.x(), frame.y(), frame.width(), 700));
    EXPECT_EQ(delegate->panel()->expandedHeight(), 700);
    const int top = panel->panelGeometry().top();

    delegate->panel()->togglePanelCollapse();
    EXPECT_TRUE(Store::panelCollapsed());
    EXPECT_EQ(header()->collapseButton()->symbol(), "chevron.down");
    waitForAnimation();
    EXPECT_EQ(panel->panelGeometry().height(), delegate->panel()->collapsedHeight());
    EXPECT_EQ(panel->panelGeometry().top(), top);
    EXPECT_EQ(delegate->panel()->expandedHeight(), 700);

    // A hand resize while collapsed is not remembered.
    frame = panel->panelGeometry();
    panel->setPanelGeometry(QRect(frame.x(), frame.y(), frame.width(), 300));
    EXPECT_EQ(delegate->panel()->expandedHeight(), 700);

    delegate->panel()->togglePanelCollapse();
    EXPECT_FALSE(Store::panelCollapsed());
    waitForAnimation();
    EXPECT_EQ(panel->panelGeometry().height(), 700);
    EXPECT_EQ(panel->panelGeometry().top(), top);
    EXPECT_EQ(header()->collapseButton()->symbol(), "chevron.up");
    EXPECT_FALSE(view()->scrollView()->isHidden());
}

TEST_F(CollapseTest, LaunchCollapsedThenExpandReturnsTo560) {
    Store::setPanelCollapsed(true);
    build();
    window()->show();
    delegate->panel()->togglePanelCollapse();
    waitForAnimation();
    EXPECT_EQ(window()->panelGeometry().height(), 560);
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
        EXPECT_EQ(header()->subtitle()->text(), c.line);
        EXPECT_EQ(compactText(header()), c.summary);
        EXPECT_EQ(view()->hosted().header()->text(), c.header);
        EXPECT_EQ(view()->hosted().stack()->arrangedSubviews().size(), c.servers);
        EXPECT_EQ(view()->hosted().emptyRow()->isHidden(), c.servers > 0);
    }
    data.paused = {};
    delegate->apply(data);
    EXPECT_EQ(view()->paused().header()->text(), "PAUSED");
    data.paused = {{"A", "/a"}, {"B", "/b"}, {"C", "/c"}};
    delegate->apply(data);
    EXPECT_EQ(view()->paused().header()->text(), "PAUSED - 3");
    EXPECT_EQ(view()->quick().header()->text(), "QUICK HOST");
    EXPECT_EQ(view()->recent().header()->text(), "RECENT");
}

TEST_F(RefreshTest, CollapsedSectionsKeepTheirRowsButHideTheirContainers) {
    build();
    data = sampleData();
    data.hostedCollapsed = data.quickCollapsed = data.recentCollapsed = data.pausedCollapsed = true;
    delegate->apply(data);
    for (QWidget* container :
         {view()->hosted().listRow(), view()->hosted().emptyRow(), view()->quick().listRow(),
          view()->recent().listRow(), view()->recent().emptyRow(), view()->paused().listRow()}) {
        EXPECT_TRUE(container->isHidden());
    }
    EXPECT_EQ(view()->hosted().stack()->arrangedSubviews().size(), 3);
    EXPECT_EQ(view()->quick().stack()->arrangedSubviews().size(), 2);
    EXPECT_EQ(view()->recent().stack()->arrangedSubviews().size(), 2);
    EXPECT_EQ(view()->paused().stack()->arrangedSubviews().size(), 1);
    EXPECT_EQ(view()->hosted().header()->text(), "CURRENTLY HOSTED - 3");
    EXPECT_EQ(view()->paused().header()->text(), "PAUSED - 1");

    // Empty sections: only the hosted and recent empty rows show.
    data = PanelData{};
    data.address = QStringLiteral("not connected");
    delegate->apply(data);
    EXPECT_FALSE(view()->hosted().emptyRow()->isHidden());
    EXPECT_FALSE(view()->recent().emptyRow()->isHidden());
    EXPECT_FALSE(view()->quick().listRow()->isHidden());
    EXPECT_TRUE(view()->quick().stack()->arrangedSubviews().isEmpty());
    EXPECT_TRUE(view()->paused().stack()->arrangedSubviews().isEmpty());
    EXPECT_EQ(header()->subtitle()->text(), "Wi-Fi: not connected");
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
    for (const ElidedLabel* label : window()->findChildren<ElidedLabel*>()) {
        shown << label->text() << label->toolTip() << label->accessibleName();
    }
    for (const QLabel* label : window()->findChildren<QLabel*>()) {
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
    window()->show();
    data = sampleData();
    delegate->apply(data);
    QCoreApplication::processEvents();
    const auto layoutOf = [](FlippedStackView* stack) {
        stack->stackLayout()->activate();
        return stack;
    };
    for (FlippedStackView* stack :
         {view()->hosted().stack(), view()->quick().stack(), view()->paused().stack()}) {
        layoutOf(stack);
        for (QWidget* row : stack->arrangedSubviews()) {
            EXPECT_EQ(row->width(), stack->contentsRect().width());
        }
    }
    layoutOf(view()->recent().stack());
    for (QWidget* row : view()->recent().stack()->arrangedSubviews()) {
        EXPECT_EQ(row->width(), row->sizeHint().width());
        EXPECT_LT(row->width(), view()->recent().stack()->width());
    }
}

TEST_F(RefreshTest, UnchangedRowsAreKeptAndOnlyChangedOnesRebuilt) {
    build();
    data = sampleData();
    delegate->apply(data);
    const QList<QWidget*> hosted = view()->hosted().stack()->arrangedSubviews();
    const QList<QWidget*> recent = view()->recent().stack()->arrangedSubviews();
    delegate->apply(data);
    EXPECT_EQ(view()->hosted().stack()->arrangedSubviews(), hosted);
    EXPECT_EQ(view()->recent().stack()->arrangedSubviews(), recent);

    data.servers[1].friendlyName = QStringLiteral("renamed");
    delegate->apply(data);
    const QList<QWidget*> after = view()->hosted().stack()->arrangedSubviews();
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0], hosted[0]);
    EXPECT_NE(after[1], hosted[1]);
    EXPECT_EQ(after[2], hosted[2]);
    EXPECT_TRUE(hosted[1]->isHidden());  // going, deleted later

    // A new address changes every hosted row's URL.
    data.address = QStringLiteral("10.0.0.7");
    delegate->apply(data);
    EXPECT_NE(view()->hosted().stack()->arrangedSubviews()[0], hosted[0]);

    // Kept recent rows still get their relative time renewed.
    Clock::setSource([] { return 1.0e9 + 3 * 3600; });
    delegate->apply(data);
    EXPECT_EQ(view()->recent().stack()->arrangedSubviews(), recent);
    EXPECT_EQ(recent[0]->findChild<QLabel*>(QStringLiteral("timeLabel"))->text(), "3h ago");
    Clock::resetSource();
}

TEST_F(RefreshTest, ATimerRefreshWaitsForTheMouseButtonSoTheClickIsNotLost) {
    build();
    window()->show();
    data = sampleData();
    delegate->apply(data);
    QCoreApplication::processEvents();
    QWidget* row = view()->recent().stack()->arrangedSubviews()[0];
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
    EXPECT_EQ(view()->recent().stack()->arrangedSubviews()[0], row);

    QTest::mouseRelease(dismiss, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(test::waitUntil([&] { return refreshes == before + 1; }, 2s));
    EXPECT_FALSE(delegate->refreshDeferred());
    EXPECT_NE(view()->recent().stack()->arrangedSubviews()[0], row);

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
        ActivatingPanel* panel = window();
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
    ActivatingPanel* panel = window();
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
    delegate->panel()->applyCollapseState(false);
    const QImage collapsed = render();
    EXPECT_EQ(collapsed.height(), (delegate->panel()->collapsedHeight() + 2 * m) * 2);
    save(collapsed, QStringLiteral("panel-collapsed.png"));
}

}  // namespace
}  // namespace varnholt
