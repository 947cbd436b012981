// What the user hears when something is not as it should be: alerts that
// show names as they are, a browser that cannot be opened, settings that
// cannot be kept.
#include <QLabel>
#include <QMessageBox>

#include <sys/stat.h>

#include "PanelFixture.h"
#include "app/controls/AlertBox.h"
#include "app/desktop/UrlOpener.h"
#include "store/SettingsFile.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

TEST(AlertBoxTest, NamesShowAsTheyAreNeverAsMarkup) {
    const QString name =
        R"(<h1 style="color:red">BIG <a href="https://example.invalid/login">Click here</a>)";
    const auto box = AlertBox::make("Couldn't host that", name + " is not there", nullptr);
    int shown = 0;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
        shown += label->text().contains(name) ? 1 : 0;
    }
    EXPECT_EQ(shown, 1);
}

TEST(UrlOpenerTest, AnOpenerThatFailsOrIsMissingIsReported) {
    test::TempHome home;
    const QString failing = home.scratch() + "/no-browser";
    test::writeFile(failing, "#!/bin/sh\nexit 3\n");
    ::chmod(QFile::encodeName(failing).constData(), 0700);
    const QString working = home.scratch() + "/browser";
    test::writeFile(working, "#!/bin/sh\nexit 0\n");
    ::chmod(QFile::encodeName(working).constData(), 0700);

    QStringList failures;
    UrlOpener::setFailureHandler(
        [&](const QUrl& url, const QString& why) { failures << url.toString() + " " + why; });
    const QUrl url("http://127.0.0.1:9/");
    UrlOpener::setOpenerProgram(failing);
    UrlOpener::open(url);
    EXPECT_TRUE(test::waitUntil([&] { return failures.size() == 1; }, 5s));
    EXPECT_TRUE(failures.value(0).contains("status 3"));

    UrlOpener::setOpenerProgram(home.scratch() + "/not-installed");
    UrlOpener::open(url);
    EXPECT_TRUE(test::waitUntil([&] { return failures.size() == 2; }, 5s));

    UrlOpener::setOpenerProgram(working);
    UrlOpener::open(url);
    test::spinFor(500ms);
    EXPECT_EQ(failures.size(), 2);
    UrlOpener::setFailureHandler({});
}

class SettingsAlertTest : public test::PanelFixture {};

// Settings that cannot be kept are said once, not on every refresh.
TEST_F(SettingsAlertTest, SettingsThatCannotBeKeptAreSaidOnce) {
    const QString file = SettingsFile::path();
    QDir().mkpath(QFileInfo(file).path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    build();
    for (int i = 0; i < 3; ++i) {
        delegate->refresh();
        test::spinFor(50ms);
    }
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Settings can't be kept|"));
    EXPECT_TRUE(alerts[0].contains("a named pipe"));
}

}  // namespace
}  // namespace varnholt
