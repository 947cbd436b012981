#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QSystemTrayIcon>
#include <QTest>

#include "PanelFixture.h"
#include "app/QtPlatformChoice.h"
#include "app/controls/FlippedStackView.h"
#include "app/controls/FocusOrder.h"
#include "app/controls/SectionHeader.h"
#include "app/controls/SharePopup.h"
#include "app/controls/SymbolButton.h"
#include "app/desktop/StatusItem.h"
#include "app/panel/ActivatingPanel.h"
#include "app/panel/PanelPlacement.h"
#include "app/panel/rows/RowParts.h"
#include "store/Store.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

using test::PanelFixture;

const QColor kBody(41, 41, 41);

QStringList actionTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

QRect inContent(PanelView* view, QWidget* widget) {
    return QRect(widget->mapTo(view, QPoint(0, 0)), widget->size());
}

class DesktopTest : public PanelFixture {
protected:
    bool tray = false;
    bool compositor = true;

    void buildOnDesktop() {
        trayProbe = [this] { return tray; };
        compositorProbe = [this] { return compositor; };
        build();
        delegate->checkTray();
    }

    void rightClickTitleArea() {
        const QPoint pos(header()->titleLabel()->geometry().center());
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view()->mapToGlobal(pos));
        QCoreApplication::sendEvent(view(), &event);
    }
};

TEST_F(DesktopTest, WithoutATrayThePanelIsAnOrdinaryWindowUntilATrayAppears) {
    buildOnDesktop();
    ActivatingPanel* panel = window();
    EXPECT_FALSE(delegate->panel()->hasTray());
    EXPECT_EQ(delegate->statusItem()->icon(), nullptr);
    EXPECT_EQ(panel->windowFlags() & Qt::WindowType_Mask, Qt::Window);  // on the taskbar
    EXPECT_FALSE(panel->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(panel->windowFlags() & Qt::FramelessWindowHint);
    panel->show();

    // The title area offers the tray's commands, bar the one for this panel.
    rightClickTitleArea();
    ASSERT_NE(delegate->panel()->titleMenu(), nullptr);
    EXPECT_EQ(actionTexts(delegate->panel()->titleMenu()),
              (QStringList{"Notify When a Server Opens to the Network", "Start at Login",
                           "Show Every Listening Program", "Share New Hosts Privately", "-",
                           "Quit Varnholt"}));
    delegate->panel()->titleMenu()->close();

    // ✕ and Escape minimise, so the taskbar can bring the panel back.
    header()->closeButton()->click();
    EXPECT_TRUE(panel->isMinimized());
    delegate->panel()->show();
    EXPECT_FALSE(panel->isMinimized());
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_TRUE(panel->isMinimized());
    delegate->panel()->show();

    // A tray that starts later is found on the next tick; the shown panel
    // stays shown and becomes a tool window again.
    tray = true;
    delegate->timerFired();
    EXPECT_TRUE(delegate->panel()->hasTray());
    ASSERT_NE(delegate->statusItem()->icon(), nullptr);
    EXPECT_EQ(actionTexts(delegate->statusItem()->icon()->contextMenu()),
              (QStringList{"Show/Hide Panel", "-", "Notify When a Server Opens to the Network",
                           "Start at Login", "Show Every Listening Program",
                           "Share New Hosts Privately", "-", "Quit Varnholt"}));
    EXPECT_EQ(panel->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(test::waitUntil([&] { return delegate->panel()->titleMenu() == nullptr; }, 2s));
    rightClickTitleArea();
    EXPECT_EQ(delegate->panel()->titleMenu(), nullptr);  // the tray's menu serves now
    header()->closeButton()->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(panel->isMinimized());

    // The tray goes while the panel is hidden: the panel comes back as the
    // ordinary window, or the app would show nothing at all.
    tray = false;
    delegate->timerFired();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->windowFlags() & Qt::WindowType_Mask, Qt::Window);
}

TEST_F(DesktopTest, WithoutACompositorTheWindowIsTheBodyWithItsCornersCut) {
    compositor = false;
    buildOnDesktop();
    ActivatingPanel* panel = window();
    const QRect frame = panel->panelGeometry();
    panel->show();  // looks for a compositor before every show
    EXPECT_FALSE(panel->isComposited());
    EXPECT_EQ(panel->geometry(), frame);
    EXPECT_EQ(panel->panelGeometry(), frame);
    EXPECT_EQ(view()->geometry(), panel->rect());
    const QRegion mask = panel->mask();
    const int w = panel->width();
    const int h = panel->height();
    for (const QPoint& corner :
         {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1), QPoint(2, 2)}) {
        EXPECT_FALSE(mask.contains(corner)) << corner.x() << "," << corner.y();
    }
    for (const QPoint& inside : {QPoint(14, 0), QPoint(0, 14), QPoint(w / 2, h / 2),
                                 QPoint(w - 15, h - 1), QPoint(5, 5)}) {
        EXPECT_TRUE(mask.contains(inside)) << inside.x() << "," << inside.y();
    }
    // Every pixel the mask lets through is the body, never black.
    EXPECT_EQ(panel->grab().toImage().pixelColor(5, 5), kBody);

    // The QR popup cuts its corners the same way.
    header()->shareButton()->click();
    ASSERT_NE(view()->sharePopup(), nullptr);
    EXPECT_FALSE(view()->sharePopup()->isComposited());
    EXPECT_FALSE(view()->sharePopup()->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(view()->sharePopup()->mask().contains(view()->sharePopup()->rect().center()));
    view()->sharePopup()->close();
    SharePopup* qr = showQrCode("http://192.168.1.20:1010/", header()->shareButton());
    EXPECT_FALSE(qr->isComposited());
    EXPECT_FALSE(qr->mask().contains(QPoint(0, 0)));
    qr->close();

    // A compositor that starts or stops while the panel shows is followed at
    // once, and again before the next show.
    compositor = true;
    delegate->panel()->followCompositor();
    EXPECT_TRUE(panel->isComposited());
    EXPECT_EQ(panel->panelGeometry(), frame);
    EXPECT_EQ(panel->geometry(), frame.adjusted(-12, -12, 12, 12));
    EXPECT_TRUE(panel->mask().isEmpty());
    compositor = false;
    delegate->panel()->followCompositor();
    EXPECT_EQ(panel->geometry(), frame);
    EXPECT_FALSE(panel->mask().contains(QPoint(0, 0)));
    panel->hide();
    compositor = true;
    delegate->panel()->show();
    EXPECT_TRUE(panel->isComposited());
    EXPECT_EQ(panel->geometry(), frame.adjusted(-12, -12, 12, 12));
}

TEST_F(DesktopTest, ThePanelCannotShrinkBelowItsHeaderAndOneWholeRow) {
    buildOnDesktop();
    data = sampleData();
    delegate->refresh();
    ActivatingPanel* panel = window();
    panel->show();
    const QSize minimum = delegate->panel()->minimumPanelSize();
    EXPECT_EQ(panel->panelMinimumSize(), minimum);

    panel->setPanelGeometry(QRect(panel->panelGeometry().topLeft(), QSize(60, 40)));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(panel->panelGeometry().size(), minimum);

    PanelView* d = view();
    const QRect title = inContent(d, header()->titleLabel());
    const QRect collapse = inContent(d, header()->collapseButton());
    const QRect close = inContent(d, header()->closeButton());
    EXPECT_LT(title.right(), collapse.left());
    EXPECT_LT(collapse.right(), close.left());
    const QRect content = d->rect();
    EXPECT_TRUE(content.contains(close));
    EXPECT_TRUE(content.contains(inContent(d, header()->copyButton())));
    EXPECT_TRUE(content.contains(inContent(d, header()->shareButton())));
    EXPECT_EQ(header()->titleLabel()->width(), header()->titleLabel()->sizeHint().width());
    // The first server row shows whole, its last button included.
    QWidget* row = d->hosted().stack()->arrangedSubviews().first();
    const QRect stop = inContent(d, test::buttonTitled(row, QStringLiteral("Stop")));
    const QRect viewport = inContent(d, d->scrollView()->viewport());
    EXPECT_TRUE(viewport.contains(stop)) << stop.right() << " " << viewport.right();

    Store::setPanelCollapsed(true);
    delegate->panel()->applyCollapseState(false);
    EXPECT_EQ(panel->panelMinimumSize(),
              QSize(minimum.width(), delegate->panel()->collapsedHeight()));
    EXPECT_EQ(panel->panelGeometry().height(), delegate->panel()->collapsedHeight());
}

TEST_F(DesktopTest, EveryButtonIsReachedByTabInReadingOrderAndFiresFromTheKeyboard) {
    tray = true;
    buildOnDesktop();
    data = sampleData();
    delegate->refresh();
    ActivatingPanel* panel = window();
    panel->show();
    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    PanelHeader* d = header();

    const QList<QWidget*> order = focusOrder(panel);
    QStringList names;
    for (QWidget* widget : order) {
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        names << (widget->accessibleName().isEmpty() && button ? button->text()
                                                               : widget->accessibleName());
    }
    const QStringList expected = {
        "Collapse panel", "Close panel", "Copy", "Share", "Collapse section CURRENTLY HOSTED",
        // Each row is a stop of its own (its menu
        // opens from the keyboard), before its buttons.
        "photos, port 8000, NET", "Copy URL", "Stop", "my-app, port 5173, LOCAL", "Copy URL",
        "Stop", "blog, port 9292, NET", "Copy URL", "Stop", "Collapse section QUICK HOST",
        "Open\u2026", "Change\u2026", "Alpha", "Start", "Remove", "Beta", "Start", "Remove",
        "Collapse section RECENT", "Dismiss photos", "Dismiss Gamma", "Restart",
        "Collapse section PAUSED", "Start", "Remove"};
    EXPECT_EQ(names, expected);

    // Tab walks that order, Shift+Tab walks back and wraps around.
    QTest::keyClick(panel, Qt::Key_Tab);
    EXPECT_EQ(panel->focusWidget(), d->collapseButton());
    QTest::keyClick(panel->focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(panel->focusWidget(), d->closeButton());
    QTest::keyClick(panel->focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(panel->focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(panel->focusWidget(), order.last());

    // The focused button shows the ring in the panel's blue.
    d->collapseButton()->setFocus(Qt::TabFocusReason);
    const QColor ring = d->collapseButton()->grab().toImage().pixelColor(10, 1);
    EXPECT_GT(ring.alpha(), 128);
    EXPECT_GT(ring.blue(), ring.red() + 60);

    // Enter fires the focused button, Space too.
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    QTest::keyClick(d->copyButton(), Qt::Key_Return);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), HostScanner::wifiIP());
    QTest::keyClick(view()->hosted().header()->toggleButton(), Qt::Key_Space);
    EXPECT_TRUE(Store::collapsed(QStringLiteral("hosted")));
    EXPECT_EQ(view()->hosted().header()->toggleButton()->accessibleName(),
              "Expand section CURRENTLY HOSTED");
    QTest::keyClick(d->collapseButton(), Qt::Key_Space);
    EXPECT_TRUE(Store::panelCollapsed());
    EXPECT_EQ(d->collapseButton()->accessibleName(), "Expand panel");

    // Escape closes the Share popup first, then hides the panel (beside a tray).
    d->shareButton()->click();
    ASSERT_NE(view()->sharePopup(), nullptr);
    QTest::keyClick(view()->sharePopup(), Qt::Key_Escape);
    EXPECT_TRUE(test::waitUntil([&] { return view()->sharePopup() == nullptr; }, 2s));
    EXPECT_TRUE(panel->isVisible());
    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
}

TEST(PanelPlacementTest, APanelOffEveryScreenGoesBackToTheTopRightOfThePrimary) {
    const QRect primary(0, 0, 1920, 1080);
    const QRect primaryArea(0, 27, 1920, 1053);
    const QRect second(1920, 0, 1280, 1024);
    struct Case {
        QRect frame;
        QList<QRect> screens;
        QRect expected;
    };
    const QRect home(1920 - 360 - 24, 27 + 24, 360, 560);
    const Case cases[] = {
        {{100, 100, 360, 560}, {primary}, {100, 100, 360, 560}},  // on screen: stays
        {{2500, 50, 360, 560}, {primary, second}, {2500, 50, 360, 560}},
        {{2500, 50, 360, 560}, {primary}, home},  // its screen was unplugged
        {{1900, 50, 360, 560}, {primary}, home},  // a 20 px sliver is not enough
        {{1850, 50, 360, 560}, {primary}, {1850, 50, 360, 560}},
        {{-400, -600, 360, 71}, {primary}, {1920 - 360 - 24, 51, 360, 71}},  // keeps its size
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PanelPlacement::keptOnScreen(c.frame, c.screens, primaryArea), c.expected)
            << c.frame.x() << "," << c.frame.y();
    }
}

// A screen shorter (or narrower) than the panel gets a panel that fits it.
TEST(PanelPlacementTest, APanelNeverExtendsPastItsScreensAvailableArea) {
    const struct {
        QRect frame;
        QRect available;
        QRect expected;
    } cases[] = {
        {{1536, 51, 360, 560}, {0, 27, 1920, 1053}, {1536, 51, 360, 560}},  // fits: stays
        {{296, 48, 360, 560}, {0, 24, 680, 360}, {296, 48, 360, 312}},      // 1366x768 at 200 %
        {{296, 300, 360, 200}, {0, 24, 680, 360}, {296, 184, 360, 200}},    // moved up, not cut
        {{10, 10, 360, 560}, {0, 0, 300, 400}, {10, 10, 252, 352}},         // narrower too
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PanelPlacement::fittedInto(c.frame, c.available), c.expected)
            << c.frame.y() << " in " << c.available.height();
    }
}

TEST(QtPlatformChoiceTest, AWaylandSessionWithAnXDisplayRunsOnXWaylandUnlessTheUserChose) {
    struct Case {
        SessionFacts facts;
        QByteArray expected;
    };
    const Case cases[] = {
        {{"wayland", "wayland-0", ":0", "", false}, "xcb;wayland"},
        {{"", "wayland-0", ":1", "", false}, "xcb;wayland"},
        {{"wayland", "", ":0", "", false}, "xcb;wayland"},
        {{"wayland", "wayland-0", "", "", false}, ""},           // Wayland alone: native
        {{"wayland", "wayland-0", ":0", "wayland", false}, ""},  // the user's choice holds
        {{"wayland", "wayland-0", ":0", "", true}, ""},
        {{"x11", "", ":0", "", false}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(preferredQtPlatform(c.facts), c.expected)
            << c.facts.sessionType.constData() << " " << c.facts.x11Display.constData();
    }
}

}  // namespace
}  // namespace varnholt
