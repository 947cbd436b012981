#include <gtest/gtest.h>

#include "serve/ByteRange.h"
#include "serve/HttpDate.h"
#include "serve/ListingPage.h"
#include "serve/PrivatePath.h"
#include "serve/RequestPath.h"
#include "serve/UploadName.h"

namespace varnholt::serve {
namespace {

TEST(ByteRange, SingleRangesPerRfc9110) {
    using K = RangeRequest::Kind;
    const struct {
        const char* header;
        qint64 length;
        K kind;
        qint64 first;
        qint64 last;
    } cases[] = {
        {"bytes=0-9", 100, K::Partial, 0, 9},
        {"bytes=90-200", 100, K::Partial, 90, 99},  // last clipped to the end
        {"bytes=1000-", 5000, K::Partial, 1000, 4999},
        {"bytes=-500", 5000, K::Partial, 4500, 4999},
        {"bytes=-9000", 5000, K::Partial, 0, 4999},  // suffix longer than the file
        {"BYTES = 5-5", 10, K::Partial, 5, 5},
        {"bytes=, 3-4 ,", 10, K::Partial, 3, 4},
        {"bytes=0-99999999999999999999999", 10, K::Partial, 0, 9},
        {"bytes=100-", 100, K::Unsatisfiable, 0, -1},
        {"bytes=99999999999999999999-", 100, K::Unsatisfiable, 0, -1},
        {"bytes=-0", 100, K::Unsatisfiable, 0, -1},
        {"bytes=0-", 0, K::Unsatisfiable, 0, -1},
        {"bytes=0-1,5-6", 100, K::Whole, 0, -1},  // several: the whole file
        {"bytes=5-1", 100, K::Whole, 0, -1},
        {"bytes=a-b", 100, K::Whole, 0, -1},
        {"bytes=-", 100, K::Whole, 0, -1},
        {"bytes=1", 100, K::Whole, 0, -1},
        {"items=0-1", 100, K::Whole, 0, -1},
        {"bytes=+1-2", 100, K::Whole, 0, -1},
        {"", 100, K::Whole, 0, -1},
    };
    for (const auto& c : cases) {
        const RangeRequest r = parseRange(c.header, c.length);
        EXPECT_EQ(r.kind, c.kind) << c.header;
        if (c.kind == K::Partial) {
            EXPECT_EQ(r.first, c.first) << c.header;
            EXPECT_EQ(r.last, c.last) << c.header;
        }
    }
}

TEST(RequestPath, DecodesOnceAndRefusesWhatLeavesOrHides) {
    using S = RequestPath::Status;
    const struct {
        const char* raw;
        S status;
        QList<QByteArray> names;
    } cases[] = {
        {"/", S::Ok, {}},
        {"/a/b%20c.txt", S::Ok, {"a", "b c.txt"}},
        {"//a///b/", S::Ok, {"a", "b"}},
        {"/%C3%A9t%C3%A9", S::Ok, {"\xc3\xa9t\xc3\xa9"}},
        {"/%252e%252e", S::Ok, {"%2e%2e"}},  // decoded once only
        {"/.well-known/x", S::Ok, {".well-known", "x"}},
        {"/a+b", S::Ok, {"a+b"}},
        {"/../etc/passwd", S::BadRequest, {}},
        {"/a/%2e%2e/b", S::BadRequest, {}},
        {"/a/%2E", S::BadRequest, {}},
        {"/a%00b", S::BadRequest, {}},
        {"/a%zz", S::BadRequest, {}},
        {"/a%2", S::BadRequest, {}},
        {"relative", S::BadRequest, {}},
        {"", S::BadRequest, {}},
        {"/.env", S::NotFound, {}},
        {"/a/.git/config", S::NotFound, {}},
        {"/a%2fb", S::NotFound, {}},
        {"/x/Varnholt.command", S::NotFound, {}},
        {"/HOW%20TO%20SHARE.txt", S::NotFound, {}},
        {"/.env/../x", S::BadRequest, {}},  // malformed wins over hidden
    };
    for (const auto& c : cases) {
        const RequestPath p = parseRequestPath(c.raw);
        EXPECT_EQ(p.status, c.status) << c.raw;
        EXPECT_EQ(p.names, c.names) << c.raw;
    }
    EXPECT_TRUE(parseRequestPath("/a/").trailingSlash);
    EXPECT_FALSE(parseRequestPath("/a").trailingSlash);
    EXPECT_EQ(percentEncoded("a b/\xc3\xa9\n<"), "a%20b%2F%C3%A9%0A%3C");
}

TEST(ServeParsers, PrivatePathOpensOnlyForTheWholeToken) {
    using S = PrivatePath::Status;
    const QByteArray token = "AbCdEfGhIjKlMnOpQrSt_-";
    const struct {
        QByteArray raw;
        S status;
        QByteArray rest;
    } cases[] = {
        {"/s/" + token + "/", S::Ok, "/"},
        {"/s/" + token + "/a/b%20c", S::Ok, "/a/b%20c"},
        {"/s/" + token + "//a", S::Ok, "//a"},
        {"/s/" + token, S::Redirect, ""},
        {"/s/" + token.left(21) + "/", S::NotFound, ""},
        {"/s/" + token + "A/", S::NotFound, ""},
        {"/s/" + token.toLower() + "/", S::NotFound, ""},
        {"/s/", S::NotFound, ""},
        {"/s", S::NotFound, ""},
        {"/", S::NotFound, ""},
        {"/x/" + token + "/", S::NotFound, ""},
        {"/s/%41bCdEfGhIjKlMnOpQrSt_-/", S::NotFound, ""},  // never decoded
    };
    for (const auto& c : cases) {
        const PrivatePath p = splitPrivatePath(c.raw, token);
        EXPECT_EQ(p.status, c.status) << c.raw.constData();
        EXPECT_EQ(p.rest, c.rest) << c.raw.constData();
    }
    EXPECT_EQ(splitPrivatePath("/s//", "").status, S::NotFound);
    for (const char* bad : {"", "AbCdEfGhIjKlMnO", "AbCdEfGhIjKlMnOp=", "AbCdEfGhIjKlMnOp+/"}) {
        EXPECT_FALSE(isValidToken(bad)) << bad;
    }
    EXPECT_TRUE(isValidToken(token));
    EXPECT_TRUE(isValidToken(QByteArray(128, 'a')));
    EXPECT_FALSE(isValidToken(QByteArray(129, 'a')));
}

TEST(ServeParsers, UploadNamesAreSafeVisibleAndBounded) {
    const QByteArray e200 = QByteArray("\xc3\xa9").repeated(100);  // 200 bytes
    const struct {
        QByteArray given;
        QByteArray saved;
    } cases[] = {
        {"photo.jpg", "photo.jpg"},
        {"../../etc/passwd", "passwd"},
        {"C:\\Users\\me\\report.pdf", "report.pdf"},
        {"dir/", "upload"},
        {".bashrc", "bashrc"},
        {" . .hidden. . ", "hidden"},
        {"line\nbreak\r\x7f\ttab.txt", "linebreaktab.txt"},
        {QByteArray("nul\0byte", 8), "nulbyte"},
        {"bad\xff\xfe.txt", "bad\xef\xbf\xbd\xef\xbf\xbd.txt"},
        {"\xc3\xa9t\xc3\xa9.txt", "\xc3\xa9t\xc3\xa9.txt"},
        {"", "upload"},
        {"...", "upload"},
        {"a" + e200 + ".jpg", "a" + e200.left(194) + ".jpg"},  // never within a character
        {QByteArray(300, 'x'), QByteArray(200, 'x')},
        {"x" + QByteArray(250, ' ') + "y.txt", "x.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(safeUploadName(c.given), c.saved) << c.given.toHex().constData();
    }
    EXPECT_EQ(numberedName("photo.jpg", 1), "photo.jpg");
    EXPECT_EQ(numberedName("photo.jpg", 2), "photo (2).jpg");
    EXPECT_EQ(numberedName("archive.tar.gz", 3), "archive.tar (3).gz");
    EXPECT_EQ(numberedName("README", 12), "README (12)");
}

TEST(ListingPage, SizesDatesAndOrder) {
    EXPECT_EQ(humanSize(0), "0 B");
    EXPECT_EQ(humanSize(999), "999 B");
    EXPECT_EQ(humanSize(1500), "1.5 kB");
    EXPECT_EQ(humanSize(12'000'000), "12 MB");
    EXPECT_EQ(httpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(parseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
    EXPECT_FALSE(parseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"));
    QList<PackageTree::Entry> entries = {
        {"b.txt", false}, {"Zed", true}, {"a.txt", false}, {"alpha", true}};
    sortEntries(entries);
    QList<QByteArray> names;
    for (const auto& e : entries) {
        names << e.name;
    }
    EXPECT_EQ(names, (QList<QByteArray>{"Zed", "alpha", "a.txt", "b.txt"}));
}

}  // namespace
}  // namespace varnholt::serve
