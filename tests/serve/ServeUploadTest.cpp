#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/socket.h>
#include <unistd.h>
#include <chrono>
#include <thread>

#include "Files.h"
#include "LoopbackSocket.h"
#include "ServeRun.h"
#include "TempHome.h"
#include "quickhost/ReceivedLog.h"

namespace varnholt {
namespace {

using test::curl;
using test::writeFile;

const QByteArray kToken = "AbCdEfGhIjKlMnOpQrSt_-";
const QByteArray kBase = "/s/" + kToken;

class ServeUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        m_package = m_home.scratch() + "/Package";
        writeFile(m_package + "/notes.txt", "notes");
    }
    // A private server that takes uploads, unless told otherwise.
    void serve(const QStringList& arguments = {"--allow-uploads"},
               QStringList env = {"VARNHOLT_SERVE_TOKEN=" + kToken}) {
        m_server = test::ServeRun::start(m_package, arguments, env);
        ASSERT_TRUE(m_server) << "varnholt-serve did not listen";
    }
    QString url(const QByteArray& path) const { return QString::fromUtf8(m_server->url(path)); }
    // A file made beside the package, sent as a form's file under name.
    QString form(const QString& name, const QByteArray& bytes) {
        const QString path = m_home.scratch() + "/out-" + QString::number(++m_files);
        writeFile(path, bytes);
        return "file=@" + path + ";filename=" + name;
    }
    test::CurlReply upload(const QStringList& forms, const QStringList& extra = {},
                           const QByteArray& path = kBase + "/") {
        QStringList arguments = extra;
        for (const QString& f : forms) {
            arguments << "-F" << f;
        }
        return curl(arguments << url(path));
    }
    QStringList received() const {
        return QDir(m_package + "/Received").entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QByteArray receivedFile(const QString& name) const {
        return test::readFile(m_package + "/Received/" + name);
    }

    test::TempHome m_home;
    QString m_package;
    std::unique_ptr<test::ServeRun> m_server;
    int m_files = 0;
};

TEST_F(ServeUploadTest, SavesEveryFileUnderASafeNameAndRecordsIt) {
    writeFile(m_package + "/Received/photo.jpg", "first");
    writeFile(m_package + "/Album/x.txt", "x");
    serve();
    const auto reply =
        upload({form("photo.jpg", "second"), form("../../escape.txt", "e"), form(".profile", "p"),
                form("Été à Paris.txt", "été"), form("C:\\\\Users\\\\me\\\\report.pdf", "r")});
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "photo (2).jpg\nescape.txt\nprofile\nÉté à Paris.txt\nreport.pdf\n");
    EXPECT_EQ(receivedFile("photo.jpg"), "first");  // never overwritten
    EXPECT_EQ(receivedFile("photo (2).jpg"), "second");
    EXPECT_EQ(receivedFile("Été à Paris.txt"), "été");
    EXPECT_FALSE(QFile::exists(m_home.scratch() + "/escape.txt"));
    EXPECT_EQ(received(), (QStringList{"escape.txt", "photo (2).jpg", "photo.jpg", "profile",
                                       "report.pdf", "Été à Paris.txt"}));

    // A browser's form goes back to the folder it was sent from.
    const auto browser =
        upload({form("more.txt", "m")}, {"-H", "Accept: text/html,*/*"}, kBase + "/Album/");
    EXPECT_EQ(browser.status, 303);
    EXPECT_EQ(browser.header("location"), kBase + "/Album/");
    EXPECT_EQ(receivedFile("more.txt"), "m");

    const QByteArray record = test::readFile(m_package + "/" + ReceivedLog::kFileName);
    const QList<ReceivedFile> lines = ReceivedLog::parse(record);
    ASSERT_EQ(lines.size(), 6) << record.constData();
    EXPECT_EQ(lines[0], (ReceivedFile{"photo (2).jpg", 6, "127.0.0.1"}));
    EXPECT_EQ(lines[3], (ReceivedFile{"Été à Paris.txt", 5, "127.0.0.1"}));
    EXPECT_EQ(lines[5].name, "more.txt");

    // The page offers the form; the record and temporaries are never shown.
    const auto page = curl({url(kBase + "/")});
    EXPECT_TRUE(
        page.body.contains("<form class=\"up\" method=\"post\" "
                           "enctype=\"multipart/form-data\">"));
    EXPECT_FALSE(page.body.contains(".varnholt-received"));
    EXPECT_EQ(curl({url(kBase + "/.varnholt-received")}).status, 404);

    // A page someone uploaded is shown, never run as a page of the share.
    upload({form("page.html", "<script>fetch('/')</script>")});
    const auto sent = curl({url(kBase + "/Received/page.html")});
    EXPECT_EQ(sent.status, 200);
    EXPECT_EQ(sent.header("content-security-policy"), "sandbox");
    EXPECT_EQ(curl({url(kBase + "/Album/x.txt")}).header("content-security-policy"), "");
}

TEST_F(ServeUploadTest, RefusalsLeaveNothingBehind) {
    const QString outside = m_home.scratch() + "/Elsewhere";
    QDir().mkpath(outside);
    const QStringList token = {"VARNHOLT_SERVE_TOKEN=" + kToken};
    const struct {
        const char* what;
        QStringList arguments;
        QStringList env;
        QStringList extra;
        QByteArray path;
        int status;
    } cases[] = {
        {"no flag", {}, token, {}, kBase + "/", 405},
        {"not private", {"--allow-uploads"}, {}, {}, "/", 403},
        {"wrong token", {"--allow-uploads"}, token, {}, "/s/" + kToken.left(21) + "x/", 404},
        {"no such folder", {"--allow-uploads"}, token, {}, kBase + "/missing/", 404},
        {"not a form",
         {"--allow-uploads"},
         token,
         {"-H", "Content-Type: text/plain"},
         kBase + "/",
         415},
        {"over the limit",
         {"--allow-uploads"},
         token + QStringList{"VARNHOLT_SERVE_MAX_UPLOAD=1000"},
         {},
         kBase + "/",
         413},
        {"more than the free space",
         {"--allow-uploads"},
         token,
         {"-H", "Content-Length: 900000000000000000"},
         kBase + "/",
         507},
        {"Received is a link", {"--allow-uploads"}, token, {}, kBase + "/", 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.status == 500) {
            QDir(m_package + "/Received").removeRecursively();  // made empty by earlier cases
            ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                                QFile::encodeName(m_package + "/Received").constData()),
                      0);
        }
        serve(c.arguments, c.env);
        const auto reply = upload(
            {form("small.txt", "small"), form("big.bin", QByteArray(5000, 'b'))}, c.extra, c.path);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_TRUE(received().isEmpty()) << received().join(", ").toStdString();
        EXPECT_TRUE(QDir(outside).isEmpty());
        EXPECT_FALSE(QFile::exists(m_package + "/" + ReceivedLog::kFileName));
        m_server.reset();
    }
}

TEST_F(ServeUploadTest, UploadsCutOffLeaveNoFileAndFreeTheirSlot) {
    serve();
    // Uploads that stop halfway: their headers and 200 kB of a 1 MB body.
    const auto halfUpload = [&] {
        test::LoopbackSocket client(SOCK_STREAM);
        EXPECT_TRUE(client.connect(m_server->port()));
        const QByteArray request =
            "POST " + kBase +
            "/ HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            "Content-Type: multipart/form-data; boundary=cut-off-boundary\r\n"
            "Content-Length: 1000000\r\n\r\n"
            "--cut-off-boundary\r\nContent-Disposition: form-data; name=\"file\"; "
            "filename=\"half.bin\"\r\n\r\n" +
            QByteArray(200000, 'h');
        EXPECT_EQ(::send(client.fd(), request.constData(), size_t(request.size()), MSG_NOSIGNAL),
                  request.size());
        return client;
    };
    const auto waitForTemporaries = [&](qsizetype count) {
        for (int i = 0; i < 2000; ++i) {  // a bound for a busy machine, not a timing
            if (received().filter(".upload-").size() == count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    std::vector<test::LoopbackSocket> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(halfUpload());
        ASSERT_TRUE(waitForTemporaries(i + 1)) << "upload " << i << " never began";
    }
    EXPECT_EQ(upload({form("fifth.txt", "5")}).status, 503);

    clients.clear();  // every client gone midway
    EXPECT_TRUE(waitForTemporaries(0)) << received().join(", ").toStdString();
    EXPECT_TRUE(received().isEmpty());
    EXPECT_FALSE(QFile::exists(m_package + "/" + ReceivedLog::kFileName));
    // Their slots are free again.
    EXPECT_EQ(upload({form("later.txt", "later")}).status, 200);
    EXPECT_EQ(received(), QStringList{"later.txt"});
}

}  // namespace
}  // namespace varnholt
