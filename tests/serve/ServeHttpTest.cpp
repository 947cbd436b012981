#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>

#include "Files.h"
#include "LoopbackSocket.h"
#include "ServeRun.h"
#include "TempHome.h"

namespace varnholt {
namespace {

using test::curl;
using test::writeFile;

class ServeHttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        m_package = m_home.scratch() + "/Package";
        QDir().mkpath(m_package);
    }
    void serve(const QStringList& env = {}) {
        m_server = test::ServeRun::start(m_package, {}, env);
        ASSERT_TRUE(m_server) << "varnholt-serve did not listen";
    }
    QString url(const QByteArray& path) const { return QString::fromUtf8(m_server->url(path)); }
    test::CurlReply get(const QByteArray& path, const QStringList& extra = {}) const {
        return curl(QStringList{"--path-as-is"} + extra + QStringList{url(path)});
    }

    test::TempHome m_home;
    QString m_package;
    std::unique_ptr<test::ServeRun> m_server;
};

TEST_F(ServeHttpTest, RangesResumeAndIfRange) {
    QByteArray data;
    for (int i = 0; i < 5000; ++i) {
        data += char('a' + i % 26);
    }
    writeFile(m_package + "/video.mp4", data);
    serve();
    const auto whole = get("/video.mp4");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, data);
    EXPECT_EQ(whole.header("accept-ranges"), "bytes");
    EXPECT_EQ(whole.header("content-type"), "video/mp4");

    const struct {
        const char* range;
        int status;
        const char* contentRange;
        qint64 from;
        qint64 count;
    } cases[] = {
        {"0-9", 206, "bytes 0-9/5000", 0, 10},
        {"1000-", 206, "bytes 1000-4999/5000", 1000, 4000},
        {"-500", 206, "bytes 4500-4999/5000", 4500, 500},
        {"6000-", 416, "bytes */5000", 0, 0},
        {"0-1,5-6", 200, "", 0, 5000},
    };
    for (const auto& c : cases) {
        const auto r = get("/video.mp4", {"-H", QStringLiteral("Range: bytes=%1").arg(c.range)});
        EXPECT_EQ(r.status, c.status) << c.range;
        EXPECT_EQ(r.header("content-range"), c.contentRange) << c.range;
        if (c.status != 416) {
            EXPECT_EQ(r.body, data.mid(c.from, c.count)) << c.range;
        }
    }
    // If-Range naming this version gets the range, an old one the file.
    const QByteArray tag = whole.header("etag");
    EXPECT_EQ(get("/video.mp4", {"-H", "Range: bytes=0-9", "-H", "If-Range: " + tag}).status, 206);
    EXPECT_EQ(get("/video.mp4", {"-H", "Range: bytes=0-9", "-H", "If-Range: \"old\""}).status, 200);

    // An interrupted download resumes where it stopped.
    const QString out = m_home.scratch() + "/partial.mp4";
    writeFile(out, data.left(1234));
    const auto resumed = curl({"-C", "-", "-o", out, url("/video.mp4")});
    EXPECT_EQ(resumed.exitCode, 0);
    EXPECT_EQ(resumed.status, 206);
    EXPECT_EQ(test::readFile(out), data);
}

TEST_F(ServeHttpTest, HeadConditionalRequestsTypesAndEdits) {
    writeFile(m_package + "/notes.txt", "h\xc3\xa9llo");
    writeFile(m_package + "/page.html", "<p>hi</p>");
    serve();
    const auto first = get("/notes.txt");
    EXPECT_EQ(first.header("content-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(first.header("cache-control"), "no-cache");
    EXPECT_EQ(get("/page.html").header("content-type"), "text/html");
    const QByteArray tag = first.header("etag");
    const QByteArray modified = first.header("last-modified");
    ASSERT_FALSE(tag.isEmpty());
    ASSERT_FALSE(modified.isEmpty());

    const auto head = curl({"-I", url("/notes.txt")});
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.header("content-length"), "6");
    EXPECT_TRUE(head.body.isEmpty() || head.body.startsWith("HTTP/"));

    EXPECT_EQ(get("/notes.txt", {"-H", "If-None-Match: " + tag}).status, 304);
    EXPECT_EQ(get("/notes.txt", {"-H", "If-None-Match: \"x\", " + tag}).status, 304);
    EXPECT_EQ(get("/notes.txt", {"-H", "If-None-Match: \"x\""}).status, 200);
    EXPECT_EQ(get("/notes.txt", {"-H", "If-Modified-Since: " + modified}).status, 304);

    // An edit shows at once, under a new tag.
    writeFile(m_package + "/notes.txt", "changed");
    const auto edited = get("/notes.txt", {"-H", "If-None-Match: " + tag});
    EXPECT_EQ(edited.status, 200);
    EXPECT_EQ(edited.body, "changed");

    EXPECT_EQ(curl({"-X", "POST", "-d", "x", url("/notes.txt")}).status, 405);
    EXPECT_EQ(curl({"-X", "DELETE", url("/notes.txt")}).header("allow"), "GET, HEAD");
    const auto longPath = get("/" + QByteArray(40000, 'a'));
    EXPECT_TRUE(longPath.status == 414 || longPath.status == 431) << longPath.status;
    const auto longHeader = get("/notes.txt", {"-H", "X-Big: " + QString(40000, 'b')});
    EXPECT_TRUE(longHeader.status == 431 || longHeader.status == 413) << longHeader.status;
}

TEST_F(ServeHttpTest, HostilePathsAndNamesNeverServed) {
    writeFile(m_package + "/ok.txt", "ok");
    writeFile(m_package + "/sub/inner.txt", "inner");
    writeFile(m_package + "/sub/HOW TO SHARE.txt", "no");
    writeFile(m_package + "/Varnholt.command", "no");
    writeFile(m_package + "/.env", "SECRET");
    writeFile(m_home.scratch() + "/outside.txt", "OUTSIDE");
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_package + "/pipe").constData(), 0600), 0);
    serve();
    // Planted after the start: links out and to hidden names, a new hidden file.
    ASSERT_EQ(::symlink("../outside.txt", QFile::encodeName(m_package + "/out").constData()), 0);
    ASSERT_EQ(::symlink(".env", QFile::encodeName(m_package + "/env-link").constData()), 0);
    ASSERT_EQ(::symlink("sub/inner.txt", QFile::encodeName(m_package + "/in").constData()), 0);
    writeFile(m_package + "/sub/.later", "LATER");

    const struct {
        const char* path;
        int status;
    } cases[] = {
        {"/ok.txt", 200},
        {"/in", 200},
        {"/../outside.txt", 400},
        {"/%2e%2e/outside.txt", 400},
        {"/sub%2finner.txt", 404},
        {"/ok.txt%00.png", 400},
        {"/.env", 404},
        {"/%2eenv", 404},
        {"/sub/.later", 404},
        {"/Varnholt.command", 404},
        {"/sub/HOW%20TO%20SHARE.txt", 404},
        {"/out", 404},
        {"/env-link", 404},
        {"/pipe", 404},
    };
    for (const auto& c : cases) {
        const auto r = get(c.path);
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_FALSE(r.body.contains("SECRET") || r.body.contains("OUTSIDE") ||
                     r.body.contains("LATER"))
            << c.path;
    }
    const QByteArray listing = get("/").body;
    for (const char* hidden : {".env", "pipe", "Varnholt.command", "env-link", "\"out\""}) {
        EXPECT_FALSE(listing.contains(hidden)) << hidden;
    }
    EXPECT_TRUE(listing.contains("ok.txt"));
}

TEST_F(ServeHttpTest, SiteAtTheRootAndAListingForPhones) {
    writeFile(m_package + "/README", "root readme");
    writeFile(m_package + "/site/index.html", "site index");
    writeFile(m_package + "/site/README", "site readme");
    writeFile(m_package + "/site/style.css", "body{}");
    writeFile(m_package + "/site/site/deep.txt", "deep");
    const QByteArray odd = "a <b>&\"c\"\n\xff.txt";
    writeFile(m_package + "/files/Ordner/x.txt", "x");
    // By its bytes: the name is not valid UTF-8.
    FILE* file = std::fopen((QFile::encodeName(m_package) + "/files/" + odd).constData(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("odd", file);
    std::fclose(file);
    serve();
    EXPECT_EQ(get("/").body, "site index");
    EXPECT_EQ(get("/README").body, "root readme");  // the root's wins
    EXPECT_EQ(get("/style.css").body, "body{}");
    EXPECT_EQ(get("/site/deep.txt").body, "deep");
    EXPECT_EQ(get("/site/index.html").status, 404);

    const auto redirect = get("/files");
    EXPECT_EQ(redirect.status, 301);
    EXPECT_EQ(redirect.header("location"), "/files/");
    EXPECT_EQ(get("//files").header("location"), "/files/");  // never to another host
    const auto page = get("/files/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.header("content-type"), "text/html; charset=utf-8");
    EXPECT_TRUE(page.body.contains("name=\"viewport\" content=\"width=device-width"));
    EXPECT_TRUE(page.body.contains("href=\"?zip\""));
    EXPECT_TRUE(page.body.contains("a &lt;b&gt;&amp;&quot;c&quot;\xef\xbf\xbd\xef\xbf\xbd.txt"));
    EXPECT_TRUE(page.body.contains("href=\"a%20%3Cb%3E%26%22c%22%0A%FF.txt\""));
    EXPECT_FALSE(page.body.contains("<b>"));
    EXPECT_LT(page.body.indexOf("Ordner/"), page.body.indexOf("a%20"));  // folders first
    EXPECT_EQ(get("/files/a%20%3Cb%3E%26%22c%22%0A%FF.txt").body, "odd");
}

TEST_F(ServeHttpTest, PrivateLinkServesOnlyUnderItsPrefix) {
    const QByteArray token = "AbCdEfGhIjKlMnOpQrSt_-";
    const QByteArray base = "/s/" + token;
    writeFile(m_package + "/ok.txt", "ok");
    writeFile(m_package + "/files/x.txt", "x");
    serve({"VARNHOLT_SERVE_TOKEN=" + token});
    QByteArray wrong = token;
    wrong[5] = 'z';
    for (const QByteArray& path :
         {QByteArray("/"), QByteArray("/ok.txt"), QByteArray("/s/"), QByteArray("/s/ok.txt"),
          "/s/" + wrong + "/", "/s/" + wrong + "/ok.txt", "/s/" + token.left(21) + "/",
          "/s/" + token + "x/", "/s//" + token + "/", "/S/" + token + "/"}) {
        const auto r = get(path);
        EXPECT_EQ(r.status, 404) << path.constData();
        EXPECT_EQ(r.body, "Not found\n") << path.constData();
    }
    EXPECT_EQ(get(base + "/ok.txt").body, "ok");
    EXPECT_EQ(get(base).header("location"), base + "/");
    EXPECT_EQ(get(base + "?zip").header("location"), base + "/?zip");
    EXPECT_EQ(get(base + "/files").header("location"), base + "/files/");
    EXPECT_EQ(get(base + "//files").header("location"), base + "/files/");
    EXPECT_EQ(get(base + "/files?zip").header("location"), base + "/files/?zip");
    const auto page = get(base + "/files/");
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("href=\"" + base + "/\""));
    EXPECT_TRUE(page.body.contains("href=\"" + base + "/files/\""));
    EXPECT_TRUE(page.body.contains("href=\"?zip\""));
    EXPECT_FALSE(page.body.contains("href=\"/\""));
    EXPECT_FALSE(page.body.contains("<form"));  // uploads were not asked for
    EXPECT_EQ(get(base + "/files/?zip").header("content-type"), "application/zip");

    // The token stays out of the command line any user can read.
    const QByteArray cmdline =
        test::readFile(QStringLiteral("/proc/%1/cmdline").arg(m_server->pid()));
    EXPECT_FALSE(cmdline.isEmpty());
    EXPECT_FALSE(cmdline.contains(token));
}

TEST_F(ServeHttpTest, MalformedTokenStopsTheServer) {
    for (const char* token :
         {"short", "AbCdEfGhIjKlMnOp/rSt", "AbCdEfGhIjKlMnOp rSt", "AbCdEfGhIjKlMnOp\xc3\xa9St"}) {
        auto child = test::ChildProcess::start(
            {test::serveProgram(), "--bind", "127.0.0.1", "--port", "1", m_package}, {},
            {QStringLiteral("VARNHOLT_SERVE_TOKEN=") + QString::fromUtf8(token)});
        ASSERT_TRUE(child);
        const auto status = child->waitForExit(std::chrono::seconds(10));
        ASSERT_TRUE(status.has_value()) << token;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << token;
    }
}

TEST_F(ServeHttpTest, IdleClientsCannotHoldEverySlotAndTermEndsAtOnce) {
    writeFile(m_package + "/ok.txt", "ok");
    serve();
    std::vector<test::LoopbackSocket> idle;
    for (int i = 0; i < 200; ++i) {
        idle.emplace_back(SOCK_STREAM);
        idle.back().connect(m_server->port());
    }
    // The same client and another one of the network are still answered.
    for (const char* from : {"127.0.0.1", "127.0.0.2"}) {
        const auto reply = curl({"--interface", from, url("/ok.txt")});
        EXPECT_EQ(reply.status, 200) << from;
        EXPECT_EQ(reply.body, "ok") << from;
    }

    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(m_server->pid(), SIGTERM), 0);
    EXPECT_TRUE(m_server->child().waitForExit(std::chrono::seconds(1)).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
}

}  // namespace
}  // namespace varnholt
