// Each row on its own: its buttons ask the app, through PanelActions, for
// exactly the action they name, with the row's own values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>

#include "AppTestSupport.h"
#include "FakePanelActions.h"
#include "app/controls/ClosureButton.h"
#include "app/controls/FlippedStackView.h"
#include "app/panel/PanelHeader.h"
#include "app/panel/PanelSection.h"
#include "app/panel/PanelView.h"
#include "app/panel/rows/HostedRow.h"
#include "app/panel/rows/PausedRow.h"
#include "app/panel/rows/QuickHostRow.h"
#include "app/panel/rows/RecentRow.h"

namespace varnholt {
namespace {

using test::buttonTitled;
using test::buttonTitles;
using test::FakePanelActions;
using test::IsServer;
using ::testing::Field;
using ::testing::StrictMock;

void press(QWidget* row, const QString& title) {
    ClosureButton* button = buttonTitled(row, title);
    ASSERT_NE(button, nullptr) << title.toStdString();
    button->click();
}

TEST(RowButtonsTest, EveryButtonAsksForItsOwnActionWithTheRowsValues) {
    StrictMock<FakePanelActions> actions;
    const QuickHostPackage alpha{"Alpha", "/p/Alpha"};
    const Store::RecentEvent stopped{"Gamma", "stopped", 1.0e9, QStringLiteral("/p/Gamma")};

    EXPECT_CALL(actions, stopServer(IsServer(4242, 8000)));
    std::unique_ptr<QWidget> hosted(
        makeHostedRow({4242, "python3", 8000, "NET", "photos"}, "10.0.0.2", &actions));
    press(hosted.get(), "Stop");

    EXPECT_CALL(actions, startPackage(QString("/p/Alpha")));
    EXPECT_CALL(actions, pausePackage(QString("Alpha"), QString("/p/Alpha"))).Times(2);
    std::unique_ptr<QWidget> idle(makeQuickHostRow(alpha, std::nullopt, "10.0.0.2", &actions));
    EXPECT_EQ(buttonTitles(idle.get()), (QStringList{"Start", "Remove"}));
    press(idle.get(), "Start");
    press(idle.get(), "Remove");

    EXPECT_CALL(actions, stopPackage(QString("Alpha"), QString("/p/Alpha")));
    std::unique_ptr<QWidget> running(
        makeQuickHostRow(alpha, QuickHostEntry{77, 1012}, "10.0.0.2", &actions));
    EXPECT_EQ(buttonTitles(running.get()), (QStringList{"Stop", "Remove"}));
    press(running.get(), "Stop");
    press(running.get(), "Remove");

    EXPECT_CALL(actions, resumePackage(QString("/p/Alpha")));
    EXPECT_CALL(actions, trashPackage(QString("Alpha"), QString("/p/Alpha")));
    std::unique_ptr<QWidget> paused(makePausedRow(alpha, &actions));
    press(paused.get(), "Start");
    press(paused.get(), "Remove");

    EXPECT_CALL(actions, startPackage(QString("/p/Gamma")));
    EXPECT_CALL(actions, dismissRecent(Field(&Store::RecentEvent::title, QString("Gamma"))));
    std::unique_ptr<QWidget> recent(makeRecentRow(stopped, &actions));
    press(recent.get(), "Restart");
    press(recent.get(), "\u2715");

    // A row that is only measured has nothing to ask, and asks nothing.
    std::unique_ptr<QWidget> measured(
        makeHostedRow({4242, "python3", 8000, "NET", "photos"}, "10.0.0.2", nullptr));
    press(measured.get(), "Stop");
}

TEST(RowButtonsTest, StopOnlyWhereSomethingOfOursCanStopIt) {
    StrictMock<FakePanelActions> actions;
    HostedPort container{0, "docker", 8080, "NET", "web (nginx:1.27)"};
    container.kind = HostedPort::Kind::Container;
    container.engine = "docker";
    container.containerId = "3f4e8a1b2c9d";
    HostedPort forwarded{0, "docker-proxy", 8081, "NET", "container"};
    forwarded.kind = HostedPort::Kind::Container;
    HostedPort rootless = forwarded;  // a forwarder of ours is still not the container
    rootless.pid = 57;
    HostedPort cups{0, "", 631, "NET", "another user's program (root)"};
    cups.kind = HostedPort::Kind::OtherUser;
    HostedPort othersPid = cups;
    othersPid.pid = 900;

    EXPECT_CALL(actions, stopServer(Field(&HostedPort::containerId, QString("3f4e8a1b2c9d"))));
    for (const HostedPort& server : {container, forwarded, rootless, cups, othersPid}) {
        SCOPED_TRACE(server.friendlyName.toStdString());
        std::unique_ptr<QWidget> row(makeHostedRow(server, "10.0.0.2", &actions));
        EXPECT_EQ(buttonTitled(row.get(), "Stop")->isEnabled(), !server.containerId.isEmpty());
        EXPECT_TRUE(buttonTitled(row.get(), "Copy URL")->isEnabled());
        press(row.get(), "Stop");
    }
}

// The view alone, without the app: it shows the data it is given, asks the
// lookup which packages run, and hands presses on.
TEST(PanelViewTest, ShowsWhatItIsGivenAndHandsPressesOn) {
    StrictMock<FakePanelActions> actions;
    PanelView view(
        &actions,
        [](const QString& path) {
            return path == QLatin1String("/p/Beta") ? std::optional(QuickHostEntry{9, 1011})
                                                    : std::nullopt;
        },
        [] { return true; }, false);
    PanelData data;
    data.address = QStringLiteral("10.0.0.2");
    data.servers = {{4242, "python3", 8000, "NET", "photos"}};
    data.quick = {{"Alpha", "/p/Alpha"}, {"Beta", "/p/Beta"}};
    view.apply(data);

    const QList<QWidget*> quick = view.quick().stack()->arrangedSubviews();
    ASSERT_EQ(quick.size(), 2);
    EXPECT_EQ(buttonTitles(quick[0]), (QStringList{"Start", "Remove"}));
    EXPECT_EQ(buttonTitles(quick[1]), (QStringList{"Stop", "Remove"}));
    EXPECT_EQ(view.hosted().stack()->arrangedSubviews().size(), 1);
    EXPECT_FALSE(view.recent().listRow()->isHidden());

    EXPECT_CALL(actions, startPackage(QString("/p/Alpha")));
    EXPECT_CALL(actions, stopPackage(QString("Beta"), QString("/p/Beta")));
    press(quick[0], "Start");
    press(quick[1], "Stop");

    QSignalSpy open(&view, &PanelView::openClicked);
    QSignalSpy change(&view, &PanelView::changeFolderClicked);
    QSignalSpy close(&view, &PanelView::closeClicked);
    view.openButton()->click();
    view.changeButton()->click();
    view.header()->closeButton()->click();
    EXPECT_EQ(open.size() + change.size() + close.size(), 3);
}

}  // namespace
}  // namespace varnholt
