// The listing parser and the scan's rules, over recorded lsof output and a
// fake process source.
#include <gtest/gtest.h>

#include <limits>

#include "FakeProcessSource.h"
#include "scan/HostScanner.h"
#include "scan/ListingParser.h"

namespace varnholt {

void PrintTo(const HostedPort& p, std::ostream* os) {
    *os << "{" << p.pid << ", " << p.command.toStdString() << ", " << p.port << ", "
        << p.scope.toStdString() << ", " << p.friendlyName.toStdString() << "}";
}
void PrintTo(const ListeningSocket& s, std::ostream* os) {
    *os << "{" << s.pid << ", " << s.command.toStdString() << ", " << s.name.toStdString() << "}";
}
bool operator==(const HostedPort& a, const HostedPort& b) {
    return a.pid == b.pid && a.command == b.command && a.port == b.port && a.scope == b.scope &&
           a.friendlyName == b.friendlyName;
}
bool operator==(const ListeningSocket& a, const ListeningSocket& b) {
    return a.pid == b.pid && a.command == b.command && a.name == b.name;
}

namespace {

using test::FakeProcessSource;

// ---- the listing parser ----

TEST(ListingParser, ReadsRecordedMacListingWithDescriptorLines) {
    const QString listing =
        "p412\ncnode\nf21\nn*:3000\nf22\nn*:3000\n"
        "p977\ncPython\nf4\nn127.0.0.1:8000\n"
        "p1200\ncpostgres\nf7\nn[::1]:5432\nf8\nn127.0.0.1:5432\n";
    const QList<ListeningSocket> expected = {
        {412, "node", "*:3000"},
        {412, "node", "*:3000"},
        {977, "Python", "127.0.0.1:8000"},
        {1200, "postgres", "[::1]:5432"},
        {1200, "postgres", "127.0.0.1:5432"},
    };
    EXPECT_EQ(ListingParser::parseListing(listing), expected);
}

TEST(ListingParser, RunningValuesAreReplacedNeverReset) {
    // A "p" line keeps the previous command; lines before any "p" get pid 0
    // and the empty command.
    const QString listing = "n*:1\ncnode\nn*:2\np7\nn*:3\np8\ncruby\nn*:4\n";
    const QList<ListeningSocket> expected = {
        {0, "", "*:1"}, {0, "node", "*:2"}, {7, "node", "*:3"}, {8, "ruby", "*:4"}};
    EXPECT_EQ(ListingParser::parseListing(listing), expected);
}

TEST(ListingParser, NothingIsTrimmedAndEmptyLinesAreDropped) {
    const QString listing = "\n\np5\n\nc my server \nn*:80 \r\nn\n";
    const QList<ListeningSocket> expected = {{5, " my server ", "*:80 \r"}, {5, " my server ", ""}};
    EXPECT_EQ(ListingParser::parseListing(listing), expected);
    EXPECT_TRUE(ListingParser::parseListing("").isEmpty());
    EXPECT_TRUE(ListingParser::parseListing("p1\ncnode\nf3\n").isEmpty());
}

TEST(ListingParser, UnreadableProcessIdBecomesZero) {
    const struct {
        const char* line;
        qint32 pid;
    } cases[] = {
        {"p123", 123},
        {"p+42", 42},
        {"p-42", -42},
        {"p", 0},
        {"pabc", 0},
        {"p12a", 0},
        {"p 12", 0},
        {"p12 ", 0},
        {"p+", 0},
        {"p2147483647", 2147483647},
        {"p2147483648", 0},
        {"p-2147483648", std::numeric_limits<qint32>::min()},
        {"p-2147483649", 0},
        {"p\u0661\u0662", 0},  // Arabic-Indic digits are not decimal digits here
        {"p99999999999999999999", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        // The pid before is 9, so a failed read is visibly 0, not "unchanged".
        const auto sockets = ListingParser::parseListing(QString("p9\ncnode\n") +
                                                         QString::fromUtf8(c.line) + "\nn*:1\n");
        ASSERT_EQ(sockets.size(), 1);
        EXPECT_EQ(sockets[0].pid, c.pid);
    }
}

TEST(ListingParser, Int64IsStrict) {
    EXPECT_EQ(ListingParser::parseInt64("9223372036854775807"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(ListingParser::parseInt64("-9223372036854775808"),
              std::numeric_limits<qint64>::min());
    EXPECT_EQ(ListingParser::parseInt64("9223372036854775808"), std::nullopt);
    EXPECT_EQ(ListingParser::parseInt64("+0"), 0);
    EXPECT_EQ(ListingParser::parseInt64("0x10"), std::nullopt);
    EXPECT_EQ(ListingParser::parseInt64("1e3"), std::nullopt);
    EXPECT_EQ(ListingParser::parseInt64(""), std::nullopt);
    EXPECT_EQ(ListingParser::parseInt64("-"), std::nullopt);
}

TEST(ListingParser, CwdListingTakesFirstUsableNameLine) {
    EXPECT_EQ(ListingParser::parseCwdListing("p4312\nfcwd\nn/Users/me/projects/shop\n"),
              "/Users/me/projects/shop");
    EXPECT_EQ(ListingParser::parseCwdListing("p1\nfcwd\nn/\nn\nn/srv/www\nn/other\n"), "/srv/www");
    EXPECT_EQ(ListingParser::parseCwdListing("p1\nfcwd\nn/\n"), "");
    EXPECT_EQ(ListingParser::parseCwdListing(""), "");
    EXPECT_EQ(ListingParser::parseCwdListing("p1\nfcwd\nx/not/a/name\n"), "");
}

// ---- the scan's rules ----

struct ScanCase {
    const char* title;
    QString listing;
    QHash<qint32, QString> commands;
    QHash<qint32, QString> cwds;
    QList<HostedPort> expected;
};

TEST(ScanRules, RecordedListings) {
    const QString viteCmd = "node /Users/me/app/node_modules/.bin/vite --port 5173\n";
    const QList<ScanCase> cases = {
        {"node on all interfaces",
         "p123\ncnode\nf21\nn*:3000\n",
         {{123, "node server.js\n"}},
         {{123, "/Users/me/projects/shop"}},
         {{123, "node", 3000, "NET", "shop"}}},
        {"capital Python passes the whitelist",
         "p77\ncPython\nf3\nn*:8000\n",
         {{77, "/usr/bin/python3 -m http.server 8000\n"}},
         {{77, "/Users/me/Sites/blog"}},
         {{77, "Python", 8000, "NET", "blog"}}},
        {"bun and deno are named by folder like node",
         "p130\ncbun\nn*:3000\np131\ncdeno\nn*:8000\np132\ncbun\nn127.0.0.1:5173\n",
         {{130, "bun run server.ts\n"},
          {131, "deno run --allow-net main.ts\n"},
          {132, "bun /w/web/node_modules/.bin/vite\n"}},
         {{130, "/w/api"}, {131, "/w/fresh"}, {132, "/w/web"}},
         {{130, "bun", 3000, "NET", "api"},
          {132, "bun", 5173, "LOCAL", "web"},
          {131, "deno", 8000, "NET", "fresh"}}},
        {"a plain bun on loopback is dropped like node",
         "p133\ncbun\nn127.0.0.1:3000\n",
         {{133, "bun run server.ts\n"}},
         {{133, "/w/api"}},
         {}},
        {"postgres is not a web server",
         "p55\ncpostgres\nf5\nn*:5432\nf6\nn127.0.0.1:5432\n",
         {{55, "postgres -D /var/lib/pg\n"}},
         {},
         {}},
        {"redis-server has \"serve\" in its name but no server marker",
         "p56\ncredis-server\nf6\nn127.0.0.1:6379\n",
         {{56, "/usr/bin/redis-server 127.0.0.1:6379\n"}},
         {},
         {}},
        {"vite on loopback is LOCAL",
         "p300\ncnode\nf30\nn127.0.0.1:5173\n",
         {{300, viteCmd}},
         {{300, "/Users/me/app"}},
         {{300, "node", 5173, "LOCAL", "app"}}},
        {"plain node on loopback is dropped",
         "p301\ncnode\nf30\nn127.0.0.1:5173\n",
         {{301, "node server.js\n"}},
         {{301, "/Users/me/app"}},
         {}},
        {"http.server on [::1]",
         "p400\ncpython3\nf3\nn[::1]:8080\n",
         {{400, "python3 -m http.server 8080 --bind ::1\n"}},
         {{400, "/Users/me/notes"}},
         {{400, "python3", 8080, "LOCAL", "notes"}}},
        {"localhost and a specific address",
         "p500\ncnginx\nf6\nnlocalhost:8081\nn10.0.0.5:8000\nn0.0.0.0:8001\nnLOCALHOST:8002\n",
         {{500, "nginx: master process nginx -g daemon off;\n"}},
         {{500, "/"}},
         {{500, "nginx", 8000, "NET", "nginx"},
          {500, "nginx", 8001, "NET", "nginx"},
          {500, "nginx", 8002, "NET", "nginx"},
          {500, "nginx", 8081, "LOCAL", "nginx"}}},
        {"empty host is NET",
         "p9\ncruby\nn:4567\n",
         {{9, "ruby app.rb\n"}},
         {{9, "/srv/app"}},
         {{9, "ruby", 4567, "NET", "app"}}},
        {"the index server's port is never listed",
         "p600\ncnode\nf3\nn*:5757\nn127.0.0.1:5757\n",
         {{600, "node vite\n"}},
         {},
         {}},
        {"bad ports and missing colon",
         "p700\ncnode\nn*:http\nn*:\nn*\nn*:30 00\nn*:0x10\nn[::1]\n",
         {{700, "node x\n"}},
         {},
         {}},
        {"spaces and tabs around the port are trimmed",
         "p701\ncnode\nn*: \t3001\t \n",
         {{701, "node x\n"}},
         {{701, "/w/site"}},
         {{701, "node", 3001, "NET", "site"}}},
        {"unreadable pid becomes 0",
         "pxyz\ncnode\nf3\nn*:3000\n",
         {},
         {},
         {{0, "node", 3000, "NET", "node"}}},
        {"IPv4 and IPv6 of one process give the first record",
         "p800\ncnode\nf21\nn127.0.0.1:5173\nf22\nn*:5173\n",
         {{800, viteCmd}},
         {{800, "/Users/me/app"}},
         {{800, "node", 5173, "LOCAL", "app"}}},
        {"a dropped loopback socket does not hide the NET one",
         "p801\ncnode\nf21\nn127.0.0.1:4000\nf22\nn*:4000\n",
         {{801, "node server.js\n"}},
         {{801, "/Users/me/api"}},
         {{801, "node", 4000, "NET", "api"}}},
        {"two processes on one port stay in listing order",
         "p900\ncnode\nn*:3000\np901\ncnode\nn*:3000\n",
         {{900, "node a.js\n"}, {901, "node b.js\n"}},
         {{900, "/w/first"}, {901, "/w/second"}},
         {{900, "node", 3000, "NET", "first"}, {901, "node", 3000, "NET", "second"}}},
        {"sorted by port",
         "p1\ncnode\nn*:8000\np2\ncnode\nn*:3000\np3\ncnode\nn*:5173\n",
         {{1, "node a\n"}, {2, "node b\n"}, {3, "node c\n"}},
         {{1, "/w/a"}, {2, "/w/b"}, {3, "/w/c"}},
         {{2, "node", 3000, "NET", "b"},
          {3, "node", 5173, "NET", "c"},
          {1, "node", 8000, "NET", "a"}}},
        {"empty listing", "", {}, {}, {}},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.title);
        FakeProcessSource source;
        source.listing = c.listing;
        source.commands = c.commands;
        source.cwds = c.cwds;
        EXPECT_EQ(HostScanner::scan(source), c.expected);
    }
}

TEST(ScanRules, EveryListenerOnRequestAndContainerForwardersAlways) {
    FakeProcessSource source;
    source.listing =
        "p55\ncpostgres\nn*:5432\n"                  // outside the word list
        "p56\ncnode\nn127.0.0.1:4000\n"              // loopback without a server marker
        "p57\ncrootlessport\nn*:8081\nn[::]:8081\n"  // rootless podman's forwarder
        "p58\ncpasta.avx2\nn127.0.0.1:8082\n";
    source.commands = {{55, "postgres -D /var/lib/pg\n"},
                       {56, "node server.js\n"},
                       {57, "rootlessport\n"},
                       {58, "pasta --config-net -t 8082\n"}};
    source.cwds = {{55, "/var/lib/pg"}, {56, "/w/api"}, {57, "/home/me"}};
    source.hidden = {
        {0, "", "*:631", 0u},                 // cupsd, root's
        {0, "", "[::]:631", 0u},              // its IPv6 twin
        {0, "", "127.0.0.1:3306", 4242424u},  // a uid without a name
        {0, "", "*:9000", std::nullopt},      // no owner known
        {0, "docker-proxy", "*:8080", 0u},    // told by its -host-port
        {0, "", "*:5757", 0u},                // the index server stays out
    };
    using Kind = HostedPort::Kind;
    const struct {
        bool every;
        QList<HostedPort> expected;
        QList<Kind> kinds;
    } cases[] = {
        {false,
         {{0, "docker-proxy", 8080, "NET", "container"},
          {57, "rootlessport", 8081, "NET", "container"},
          {58, "pasta.avx2", 8082, "LOCAL", "container"}},
         {Kind::Container, Kind::Container, Kind::Container}},
        {true,
         {{0, "", 631, "NET", "another user's program (root)"},
          {0, "", 3306, "LOCAL", "another user's program (4242424)"},
          {56, "node", 4000, "LOCAL", "api"},
          {55, "postgres", 5432, "NET", "postgres"},
          {0, "docker-proxy", 8080, "NET", "container"},
          {57, "rootlessport", 8081, "NET", "container"},
          {58, "pasta.avx2", 8082, "LOCAL", "container"},
          {0, "", 9000, "NET", "another user's program"}},
         {Kind::OtherUser, Kind::OtherUser, Kind::Process, Kind::Process, Kind::Container,
          Kind::Container, Kind::Container, Kind::OtherUser}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.every ? "every listener" : "known servers only");
        source.cwdCalls.clear();
        const auto records = HostScanner::scan(source, {c.every});
        ASSERT_EQ(records, c.expected);
        QList<Kind> kinds;
        for (const HostedPort& record : records) {
            kinds.append(record.kind);
        }
        EXPECT_EQ(kinds, c.kinds);
        // Only the word list's servers are named by folder.
        EXPECT_EQ(source.cwdCalls, c.every ? QList<qint32>{56} : QList<qint32>{});
    }
}

TEST(ScanRules, CheapTestsRunBeforeAnyLookup) {
    FakeProcessSource source;
    source.listing =
        "p10\ncpostgres\nn*:5432\n"          // whitelist fails
        "p11\ncnode\nn*:abc\nn*\nn*:5757\n"  // bad port, no colon, index server
        "p12\ncmysqld\nn127.0.0.1:3306\n";
    EXPECT_TRUE(HostScanner::scan(source).isEmpty());
    EXPECT_TRUE(source.fullCommandCalls.isEmpty());
    EXPECT_TRUE(source.cwdCalls.isEmpty());
}

TEST(ScanRules, NetAndLocalCandidatesBothGetTheirCommandLine) {
    FakeProcessSource source;
    source.listing = "p20\ncnode\nn*:3000\np21\ncnode\nn127.0.0.1:3001\n";
    source.commands = {{20, "node a.js\n"}, {21, "node b.js\n"}};
    const auto records = HostScanner::scan(source);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(source.fullCommandCalls, (QList<qint32>{20, 21}));
    // Only the kept record is named.
    EXPECT_EQ(source.cwdCalls, (QList<qint32>{20}));
}

TEST(ScanRules, OneLookupPerProcessAcrossItsSockets) {
    FakeProcessSource source;
    source.listing = "p30\ncnode\nn*:3000\nn*:3000\nn*:3001\nn[::1]:3002\n";
    source.commands = {{30, "node server.js\n"}};
    source.cwds = {{30, "/w/shop"}};
    const auto records = HostScanner::scan(source);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].friendlyName, "shop");
    EXPECT_EQ(source.fullCommandCalls, (QList<qint32>{30}));
    EXPECT_EQ(source.cwdCalls, (QList<qint32>{30}));
}

TEST(ScanRules, RecordsKeepTheDetailsBehindTheName) {
    FakeProcessSource source;
    source.listing =
        "p40\ncpython3\nn*:8000\np41\ncnode\nn127.0.0.1:5173\np42\ncpython3\nn[::1]:8001\n"
        "p43\ncnode\nn*:3000\n";
    source.commands = {{40, "python3 -m http.server 8000 --directory site\n"},
                       {41, "node node_modules/.bin/vite\n"},
                       {42, "python3 -m http.server --directory /srv/a/../b\n"},
                       {43, "node server.js\n"}};
    source.cwds = {{40, "/w/shop"}, {41, "/w/app"}, {43, "/"}};
    const auto records = HostScanner::scan(source);
    ASSERT_EQ(records.size(), 4);
    // A relative --directory is resolved from the working directory.
    EXPECT_EQ(records[0].fullCommand, "node server.js");
    EXPECT_EQ(records[0].address, "*");
    EXPECT_EQ(records[0].servedFolder, "");  // named after its command
    EXPECT_EQ(records[1].servedFolder, "/w/app");
    EXPECT_EQ(records[1].address, "127.0.0.1");
    EXPECT_EQ(records[2].fullCommand, "python3 -m http.server 8000 --directory site");
    EXPECT_EQ(records[2].servedFolder, "/w/shop/site");
    EXPECT_EQ(records[2].friendlyName, "site");
    EXPECT_EQ(records[3].servedFolder, "/srv/b");
    EXPECT_EQ(records[3].address, "[::1]");
}

// ---- naming ----

TEST(FriendlyName, Cases) {
    const struct {
        const char* title;
        QString fullCommand;
        QString cwd;
        QString expected;
        bool asksCwd;
    } cases[] = {
        {"folder from --directory",
         "python3 -m http.server 8000 --directory /Users/me/Sites/blog --bind 0.0.0.0\n", "/x",
         "blog", false},
        {"quotes and trailing slash", "python3 -m http.server --directory '/tmp/site/' 8000\n",
         "/x", "site", false},
        {"mixed quotes", "python3 -m http.server --directory \"'/srv/my-site'\"\n", "/x", "my-site",
         false},
        {"last argument loses the line end",
         "python3 -m http.server 8000 --directory /Users/me/Sites/blog\n", "/x", "blog", false},
        {"line end after a quoted last argument",
         "python3 -m http.server --directory '/Users/me/Sites/blog'\r\n", "/x", "blog", false},
        {"first occurrence wins", "x --directory /a/one --directory /b/two\n", "/x", "one", false},
        {"several spaces before the folder", "x --directory    /a/spaced\n", "/x", "spaced", false},
        {"relative folder", "x --directory site\n", "/x", "site", false},
        {"case-sensitive option", "x --Directory /a/upper\n", "/w/cwd", "cwd", true},
        {"--directory= is not the option", "python3 -m http.server --directory=/srv/www\n",
         "/Users/me/www-cwd", "www-cwd", true},
        {"working directory", "node server.js\n", "/Users/me/projects/shop", "shop", true},
        {"working directory with trailing slash", "node server.js\n", "/Users/me/shop/", "shop",
         true},
        {"root working directory gives the command", "nginx: master process\n", "/", "nginx", true},
        {"no working directory gives the command", "", "", "nginx", true},
        {"only spaces after the option", "x --directory    ", "/w/fallback", "fallback", true},
        {"only a line end after the option", "x --directory \n", "/w/fallback", "fallback", true},
        {"only quotes after the option", "x --directory '\"' 8000\n", "/w/fallback", "fallback",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        FakeProcessSource source;
        source.cwds = {{42, c.cwd}};
        EXPECT_EQ(HostScanner::friendlyName(42, "nginx", c.fullCommand, source), c.expected);
        EXPECT_EQ(source.cwdCalls.isEmpty(), !c.asksCwd);
    }
}

TEST(FriendlyName, LastPathComponentLikeTheMac) {
    const struct {
        const char* path;
        const char* last;
    } cases[] = {
        {"/Users/me/blog", "blog"},
        {"/tmp/site/", "site"},
        {"/tmp/site//", "site"},
        {"site", "site"},
        {"/", "/"},
        {"///", "/"},
        {"", ""},
        {"/a", "a"},
        {"a//b", "b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostScanner::lastPathComponent(c.path), c.last) << c.path;
    }
}

}  // namespace
}  // namespace varnholt
