#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

#include "StoreTestSupport.h"

using namespace varnholt;
using varnholt::Store::RecentEvent;
using varnholt::test::StoreTest;

namespace {

constexpr double kNow = 1'700'000'000.25;

// The settings file line QSettings itself writes for a byte string.
QByteArray storedLog(QByteArray json) {
    json.replace("\\", "\\\\").replace("\"", "\\\"");
    return "[General]\nrecentEvents=\"@ByteArray(" + json + ")\"\n";
}

QStringList titles(const QList<RecentEvent>& events) {
    QStringList result;
    for (const RecentEvent& event : events) {
        result << event.title;
    }
    return result;
}

QByteArray handWrittenLog(int count) {
    QByteArray json = "[ ";
    for (int i = 0; i < count; ++i) {
        json += (i ? ", " : "") + QStringLiteral(
                                      "{ \"title\": \"e%1\", \"action\": \"stopped\", "
                                      "\"at\": %2 }")
                                      .arg(i)
                                      .arg(1000 + i)
                                      .toUtf8();
    }
    return json + " ]";
}

}  // namespace

class RecentTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        Clock::setSource([this] { return m_now; });
    }
    double m_now = kNow;
};

TEST_F(RecentTest, LogKeepsTheEightNewestFirst) {
    for (int i = 1; i <= 9; ++i) {
        m_now = kNow + i;
        Store::logRecent(QStringLiteral("e%1").arg(i), "stopped");
    }
    const QList<RecentEvent> log = Store::recent();
    EXPECT_EQ(titles(log), QStringList({"e9", "e8", "e7", "e6", "e5", "e4", "e3", "e2"}));
    EXPECT_EQ(log.front().at, kNow + 9);
    EXPECT_EQ(log.back().at, kNow + 2);
}

TEST_F(RecentTest, LoggedEventCarriesItsFieldsAndTheCurrentTime) {
    Store::logRecent("Pkg", "removed", QString("/home/ana/Desktop/Varnholt/Pkg"));
    Store::logRecent("python3", "stopped");
    const QList<RecentEvent> expected = {
        {"python3", "stopped", kNow, std::nullopt},
        {"Pkg", "removed", kNow, QString("/home/ana/Desktop/Varnholt/Pkg")},
    };
    EXPECT_EQ(Store::recent(), expected);
}

TEST_F(RecentTest, SameEventLoggedTwiceIsKeptTwice) {
    Store::logRecent("srv", "stopped");
    Store::logRecent("srv", "stopped");
    EXPECT_EQ(Store::recent().size(), 2);
}

TEST_F(RecentTest, OverlongStoredLogIsReadWholeAndTrimmedOnlyByLogging) {
    writeRaw(storedLog(handWrittenLog(10)));
    ASSERT_EQ(Store::recent().size(), 10);

    Store::removeRecent({"not", "there", 1, std::nullopt});
    EXPECT_EQ(Store::recent().size(), 10);
    // It was written back all the same, now in the compact form.
    EXPECT_FALSE(onDisk("recentEvents").toByteArray().contains(' '));

    Store::logRecent("new", "stopped");
    const QList<RecentEvent> log = Store::recent();
    EXPECT_EQ(titles(log), QStringList({"new", "e0", "e1", "e2", "e3", "e4", "e5", "e6"}));
}

TEST_F(RecentTest, EventsDifferingOnlyInTimeAreDifferent) {
    const RecentEvent early{"srv", "stopped", 100.5, QString("/p")};
    const RecentEvent late{"srv", "stopped", std::nextafter(100.5, 200.0), QString("/p")};
    Store::setRecent({late, early});
    Store::removeRecent(early);
    EXPECT_EQ(Store::recent(), QList<RecentEvent>({late}));
}

TEST_F(RecentTest, RemovingTakesEveryIdenticalCopyAndOnlyThose) {
    const RecentEvent event{"srv", "stopped", 100, QString("/p")};
    const RecentEvent noPath{"srv", "stopped", 100, std::nullopt};
    const RecentEvent otherAction{"srv", "removed", 100, QString("/p")};
    Store::setRecent({event, noPath, event, otherAction});
    Store::removeRecent(event);
    EXPECT_EQ(Store::recent(), QList<RecentEvent>({noPath, otherAction}));
}

TEST_F(RecentTest, UndecodableLogIsReplacedByTheNextChange) {
    writeRaw(storedLog("not json"));
    EXPECT_TRUE(Store::recent().isEmpty());
    Store::removeRecent({"a", "b", 1, std::nullopt});
    EXPECT_EQ(onDisk("recentEvents").toByteArray(), "[]");
    Store::logRecent("srv", "stopped");
    EXPECT_EQ(Store::recent().size(), 1);
}

TEST_F(RecentTest, LogOfTheWrongStoredTypeReadsEmpty) {
    // Plain text rather than a byte string.
    writeRaw(
        "[General]\nrecentEvents=\"[{\\\"title\\\":\\\"a\\\",\\\"action\\\":\\\"b\\\","
        "\\\"at\\\":1}]\"\n");
    EXPECT_TRUE(Store::recent().isEmpty());
}

TEST_F(RecentTest, TextsOfAnyKindSurviveTheFile) {
    const QList<RecentEvent> events = {
        {QString::fromUtf8("Café \"quoted\", 🌐 \\ end"), "stopped", 0.1 + 0.2,
         QString::fromUtf8("/home/ana/Desktop/Varnholt/Café, 2")},
        {"@at-sign )", "removed", -12.5, std::nullopt},
    };
    Store::setRecent(events);
    reloadFromDisk();
    EXPECT_EQ(Store::recent(), events);
}

TEST_F(RecentTest, NonFiniteTimeWritesNothing) {
    const QList<RecentEvent> good = {{"kept", "stopped", 5, std::nullopt}};
    Store::setRecent(good);
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        Store::setRecent({{"bad", "stopped", bad, std::nullopt}});
        EXPECT_EQ(Store::recent(), good);
        m_now = bad;
        Store::logRecent("bad", "stopped");
        EXPECT_EQ(Store::recent(), good);
        EXPECT_EQ(Store::encodeRecent({{"bad", "stopped", bad, std::nullopt}}), std::nullopt);
    }
}

TEST(RecentJson, EncodingIsCompactAndOmitsAnAbsentPath) {
    const auto bytes = Store::encodeRecent({
        {"srv", "stopped", 1.5, std::nullopt},
        {"pkg", "removed", 1700000000.123456, QString("/p")},
    });
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(bytes->contains(' '));
    EXPECT_FALSE(bytes->contains('\n'));
    const QJsonArray array = QJsonDocument::fromJson(*bytes).array();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array[0].toObject().keys(), QStringList({"action", "at", "title"}));
    EXPECT_EQ(array[1].toObject().keys(), QStringList({"action", "at", "path", "title"}));
    EXPECT_EQ(array[1].toObject()["path"].toString(), "/p");
    EXPECT_EQ(Store::encodeRecent({}), QByteArray("[]"));
}

TEST(RecentJson, TimesKeepTheirFullValue) {
    for (double at : {0.1 + 0.2, 1700000000.123456789, 1e-300, 4e15 + 0.5, -0.0, 1e300}) {
        SCOPED_TRACE(at);
        const auto decoded = Store::decodeRecent(*Store::encodeRecent({{"t", "a", at, {}}}));
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->size(), 1);
        EXPECT_EQ(decoded->front().at, at);
    }
}

TEST(RecentJson, DecodingAcceptsOnlyWellFormedLogs) {
    const RecentEvent noPath{"t", "a", 2, std::nullopt};
    const RecentEvent withPath{"t", "a", 2, QString("/p")};
    const struct {
        const char* json;
        std::optional<QList<RecentEvent>> expected;
    } cases[] = {
        {R"([])", QList<RecentEvent>{}},
        {R"([{"title":"t","action":"a","at":2}])", QList{noPath}},
        {R"([{"title":"t","action":"a","at":2,"path":null}])", QList{noPath}},
        {R"([{"path":"/p","at":2.0,"action":"a","title":"t","extra":[1,{}]}])", QList{withPath}},
        {R"([{"title":"t","action":"a","at":"2"}])", std::nullopt},
        {R"([{"title":"t","action":"a"}])", std::nullopt},
        {R"([{"title":"t","at":2}])", std::nullopt},
        {R"([{"title":null,"action":"a","at":2}])", std::nullopt},
        {R"([{"title":1,"action":"a","at":2}])", std::nullopt},
        {R"([{"title":"t","action":"a","at":2,"path":5}])", std::nullopt},
        {R"([{"title":"t","action":"a","at":2},"x"])", std::nullopt},
        {R"([{"title":"t","action":"a","at":2},{"title":"t","action":"a","at":true}])",
         std::nullopt},
        {R"({"title":"t","action":"a","at":2})", std::nullopt},
        {R"("text")", std::nullopt},
        {R"([{"title":"t","action":"a","at":2}] trailing)", std::nullopt},
        {"", std::nullopt},
        {"[{\"title\":\"\xff\",\"action\":\"a\",\"at\":2}]", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(Store::decodeRecent(QByteArray(c.json)), c.expected);
    }
}
