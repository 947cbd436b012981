// The rows' context menus and tooltips: commands checked by what they would
// open or copy, never by opening a browser or the LAN address.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include "ChildProcess.h"
#include "FakePanelActions.h"
#include "LoopbackPorts.h"
#include "PanelFixture.h"
#include "app/controls/FlippedStackView.h"
#include "app/controls/SharePopup.h"
#include "app/desktop/UrlOpener.h"
#include "app/panel/rows/HostedRow.h"
#include "app/panel/rows/QuickHostRow.h"
#include "app/panel/rows/RowMenu.h"
#include "exec/Tools.h"
#include "scan/HostScanner.h"
#include "scan/ServerUrl.h"
#include "store/Store.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

QStringList titles(const QList<RowAction>& actions) {
    QStringList list;
    for (const RowAction& action : actions) {
        list << action.title;
    }
    return list;
}

const RowAction& actionTitled(const QList<RowAction>& actions, const QString& title) {
    for (const RowAction& action : actions) {
        if (action.title == title) {
            return action;
        }
    }
    static const RowAction none;
    ADD_FAILURE() << "no action " << title.toStdString();
    return none;
}

QStringList menuTitles(QMenu* menu) {
    QStringList list;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            list << action->text();
        }
    }
    return list;
}

class RowActionsTest : public test::PanelFixture {
protected:
    void SetUp() override {
        UrlOpener::setHook([this](const QUrl& url) { opened << url.toString(); });
    }
    void TearDown() override {
        UrlOpener::setHook({});
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
        PanelFixture::TearDown();
    }
    QStringList opened;
};

const QStringList kHostedTitles = {
    "Open in Browser",    "Copy URL", "Copy Local URL", "Show QR Code", "Copy Command Line",
    "Open Served Folder", "Stop"};

TEST_F(RowActionsTest, HostedMenuOpensCopiesAndSharesTheRowsOwnServer) {
    const QString folder = home.scratch() + "/shop";
    QDir().mkpath(folder);
    const struct {
        HostedPort server;
        QString ip;
        QString opens;
        bool qr;
        bool folder;
    } cases[] = {
        {{4242, "node", 3000, "NET", "shop", "node server.js --port 3000", "*", folder},
         "192.168.1.23",
         "http://192.168.1.23:3000/",
         true,
         true},
        {{4243, "node", 5173, "LOCAL", "app", "node vite", "127.0.0.1", ""},
         "192.168.1.23",
         "http://localhost:5173/",
         false,
         false},
        // Without a LAN address a phone has nothing to reach.
        {{4244, "python3", 8000, "NET", "x", "", "*", "/no/such/folder"},
         HostScanner::kNotConnected,
         "http://localhost:8000/",
         false,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server.friendlyName.toStdString());
        std::unique_ptr<QWidget> row(makeHostedRow(c.server, c.ip, nullptr));
        const QList<RowAction> actions = hostedRowActions(c.server, c.ip, row.get());
        EXPECT_EQ(titles(actions), kHostedTitles);
        opened.clear();
        actionTitled(actions, "Open in Browser").run();
        EXPECT_EQ(opened, QStringList{c.opens});

        actionTitled(actions, "Copy URL").run();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), serverUrl(c.ip, c.server.port));
        actionTitled(actions, "Copy Local URL").run();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), localUrl(c.server.port));
        EXPECT_EQ(actionTitled(actions, "Copy Command Line").enabled,
                  !c.server.fullCommand.isEmpty());
        if (!c.server.fullCommand.isEmpty()) {
            actionTitled(actions, "Copy Command Line").run();
            EXPECT_EQ(QGuiApplication::clipboard()->text(), c.server.fullCommand);
        }
        EXPECT_EQ(actionTitled(actions, "Show QR Code").enabled, c.qr);
        EXPECT_EQ(actionTitled(actions, "Open Served Folder").enabled, c.folder);
        if (c.folder) {
            opened.clear();
            actionTitled(actions, "Open Served Folder").run();
            EXPECT_EQ(opened, QStringList{QUrl::fromLocalFile(folder).toString()});
        }
    }
}

TEST_F(RowActionsTest, RightClickMenuKeyAndShiftF10OpenTheMenuAndQrAnchorsToTheRow) {
    build();
    data = sampleData();
    window()->show();
    delegate->refresh();
    QWidget* row = view()->hosted().stack()->arrangedSubviews().value(0);
    ASSERT_NE(row, nullptr);
    RowMenu* rowMenu = RowMenu::of(row);
    ASSERT_NE(rowMenu, nullptr);

    // A right-click on the port label reaches the row's menu.
    auto* label = row->findChild<QLabel*>(QStringLiteral("portLabel"));
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2),
                            label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &click);
    ASSERT_TRUE(rowMenu->menu());
    EXPECT_EQ(menuTitles(rowMenu->menu()), kHostedTitles);
    rowMenu->menu()->close();
    EXPECT_TRUE(test::waitUntil([&] { return !rowMenu->menu(); }));

    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(row, &press);
        ASSERT_TRUE(rowMenu->menu()) << key;
        rowMenu->menu()->close();
        EXPECT_TRUE(test::waitUntil([&] { return !rowMenu->menu(); }));
    }
    QKeyEvent plainF10(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier);
    QApplication::sendEvent(row, &plainF10);
    EXPECT_FALSE(rowMenu->menu());

    // The QR code of this row's server opens under the row.
    QMenu* menu = rowMenu->popup(row->mapToGlobal(QPoint()));
    for (QAction* action : menu->actions()) {
        if (action->text() == "Show QR Code") {
            action->trigger();
        }
    }
    SharePopup* popup = nullptr;
    ASSERT_TRUE(test::waitUntil([&] {
        popup = window()->findChild<SharePopup*>();
        return popup && popup->isVisible();
    }));
    EXPECT_EQ(popup->text(), "http://192.168.1.20:8000/");
    EXPECT_GE(popup->y(), row->mapToGlobal(QPoint(0, row->height())).y());
    popup->close();
}

TEST_F(RowActionsTest, RealServerShowsItsDetailsAndStopsFromTheMenu) {
    const quint16 port = test::freeLoopbackPort();
    ASSERT_NE(port, 0);
    auto server = test::ChildProcess::start(
        {tools().python3, "-m", "http.server", QString::number(port), "--bind", "127.0.0.1"},
        home.scratch());
    ASSERT_TRUE(server);
    HostedPort record;
    ASSERT_TRUE(test::waitUntil([&] {
        for (const HostedPort& found : HostScanner::scan()) {
            if (found.pid == server->pid() && found.port == port) {
                record = found;
                return true;
            }
        }
        return false;
    }));
    EXPECT_EQ(record.address, "127.0.0.1");
    EXPECT_EQ(record.servedFolder, QFileInfo(home.scratch()).canonicalFilePath());

    build();
    std::unique_ptr<QWidget> row(makeHostedRow(record, "192.168.1.20", delegate.get()));
    QHelpEvent hover(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(row.get(), &hover);
    const QString tip = row->toolTip();
    EXPECT_TRUE(tip.contains("-m http.server " + QString::number(port))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QFileInfo(home.scratch()).canonicalFilePath()));
    EXPECT_TRUE(tip.contains("<b>PID:</b> " + QString::number(server->pid())));
    EXPECT_TRUE(tip.contains("<b>User:</b> " + QFileInfo("/proc/self").owner()));
    EXPECT_TRUE(tip.contains("127.0.0.1:" + QString::number(port)));

    const QList<RowAction> actions = hostedRowActions(record, "192.168.1.20", row.get());
    ASSERT_TRUE(actionTitled(actions, "Stop").enabled);
    actionTitled(actions, "Stop").run();
    EXPECT_TRUE(server->waitForExit(5s));
    ASSERT_EQ(Store::recent().size(), 1);
    EXPECT_EQ(Store::recent()[0].action, "stopped");

    // A record without a process id cannot be stopped from the menu either.
    HostedPort unknown = record;
    unknown.pid = 0;
    std::unique_ptr<QWidget> other(makeHostedRow(unknown, "192.168.1.20", delegate.get()));
    EXPECT_FALSE(
        actionTitled(hostedRowActions(unknown, "192.168.1.20", other.get()), "Stop").enabled);
}

TEST_F(RowActionsTest, QuickHostMenuServesOnlyWhileRunning) {
    const QString alpha = test::makePackage("Alpha");
    QWidget row;
    const QuickHostPackage package{"Alpha", alpha};
    const QList<RowAction> running =
        quickHostRowActions(package, QuickHostEntry{4242, 1012}, "192.168.1.23", &row);
    EXPECT_EQ(titles(running),
              (QStringList{"Open in Browser", "Show QR Code", "Open Package Folder"}));
    actionTitled(running, "Open in Browser").run();
    actionTitled(running, "Open Package Folder").run();
    EXPECT_EQ(opened,
              (QStringList{"http://192.168.1.23:1012/", QUrl::fromLocalFile(alpha).toString()}));
    EXPECT_FALSE(actionTitled(quickHostRowActions(package, QuickHostEntry{4242, 1012},
                                                  HostScanner::kNotConnected, &row),
                              "Show QR Code")
                     .enabled);

    const QList<RowAction> stopped =
        quickHostRowActions(package, std::nullopt, "192.168.1.23", &row);
    EXPECT_EQ(titles(stopped), QStringList{"Open Package Folder"});
    const QList<RowAction> gone =
        quickHostRowActions({"Gone", "/nowhere/Gone"}, std::nullopt, "192.168.1.23", &row);
    EXPECT_FALSE(actionTitled(gone, "Open Package Folder").enabled);
}

// Sharing choices serve the package anew through the app; while private,
// every link the rows hand out carries the secret path.
TEST_F(RowActionsTest, SharingChoicesReshareAndLinksCarryTheSecret) {
    using ::testing::_;
    const QString alpha = test::makePackage("Alpha");
    const QuickHostPackage package{"Alpha", alpha};
    QWidget row;
    test::FakePanelActions actions;
    const QString token = "AAAAAAAAAAAAAAAAAAAAAA";
    const QuickHostEntry open{4242, 1012};
    QuickHostEntry secret{4242, 1012, 0, token};
    QuickHostEntry taking = secret;
    taking.uploads = true;
    taking.received = 3;

    const QList<RowAction> publicItems =
        quickHostRowActions(package, open, "192.168.1.23", &row, &actions);
    EXPECT_EQ(titles(publicItems),
              (QStringList{"Open in Browser", "Show QR Code", "Private Link", "New Link",
                           "Allow Uploads", "Open Package Folder"}));
    EXPECT_TRUE(actionTitled(publicItems, "Private Link").checkable);
    EXPECT_FALSE(actionTitled(publicItems, "Private Link").checked);
    EXPECT_FALSE(actionTitled(publicItems, "New Link").enabled);
    EXPECT_FALSE(actionTitled(publicItems, "Allow Uploads").enabled);

    const struct {
        QuickHostEntry entry;
        const char* item;
        ServeOptions asked;
    } presses[] = {
        {open, "Private Link", {true, false}},     {secret, "Private Link", {false, false}},
        {secret, "New Link", {true, false, true}}, {taking, "New Link", {true, true, true}},
        {secret, "Allow Uploads", {true, true}},   {taking, "Allow Uploads", {true, false}},
    };
    for (const auto& press : presses) {
        SCOPED_TRACE(press.item);
        EXPECT_CALL(actions, reshare(alpha, press.asked));
        actionTitled(quickHostRowActions(package, press.entry, "192.168.1.23", &row, &actions),
                     press.item)
            .run();
        ::testing::Mock::VerifyAndClearExpectations(&actions);
    }
    EXPECT_TRUE(actionTitled(quickHostRowActions(package, taking, "192.168.1.23", &row, &actions),
                             "Allow Uploads")
                    .checked);
    EXPECT_EQ(quickHostPortText(taking), QString::fromUtf8(":1012 \u00B7 3 received"));
    EXPECT_EQ(quickHostPortText(secret), ":1012");

    opened.clear();
    actionTitled(quickHostRowActions(package, secret, "192.168.1.23", &row), "Open in Browser")
        .run();
    HostedPort served{4242, "varnholt-serve", 1012, "NET", "alpha"};
    served.linkPath = secret.linkPath();
    std::unique_ptr<QWidget> hosted(makeHostedRow(served, "192.168.1.23", nullptr));
    const QList<RowAction> hostedItems = hostedRowActions(served, "192.168.1.23", hosted.get());
    actionTitled(hostedItems, "Open in Browser").run();
    EXPECT_EQ(opened, QStringList(2, "http://192.168.1.23:1012/s/" + token + "/"));
    actionTitled(hostedItems, "Copy URL").run();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://192.168.1.23:1012/s/" + token + "/");
    actionTitled(hostedItems, "Copy Local URL").run();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://localhost:1012/s/" + token + "/");
    EXPECT_NE(
        hostedRowKey(served, "192.168.1.23"),
        hostedRowKey(HostedPort{4242, "varnholt-serve", 1012, "NET", "alpha"}, "192.168.1.23"));
}

}  // namespace
}  // namespace varnholt
