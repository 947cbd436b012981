#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include <sys/socket.h>
#include <unistd.h>
#include <chrono>
#include <thread>

#include "Files.h"
#include "LoopbackSocket.h"
#include "ServeRun.h"
#include "TempHome.h"

namespace varnholt {
namespace {

using test::writeFile;

// What Python's zipfile makes of a zip: "OK" when every entry's checksum
// holds, then one line per entry, "name<TAB>compression".
QByteArray inspectZip(const QString& path) {
    QProcess python;
    python.start("/usr/bin/python3", {"-c",
                                      "import sys, zipfile\n"
                                      "z = zipfile.ZipFile(sys.argv[1])\n"
                                      "print('OK' if z.testzip() is None else 'BAD')\n"
                                      "for i in z.infolist():\n"
                                      "    print(i.filename + '\\t' + str(i.compress_type))\n",
                                      path});
    python.waitForFinished(30000);
    return python.readAllStandardOutput() + python.readAllStandardError();
}

TEST(ServeZip, StreamsTheFolderWithItsExclusionsAndStopsWhenTheClientGoes) {
    test::TempHome home;
    const QString package = home.scratch() + "/Trip Photos";
    writeFile(package + "/Été à Paris.jpg", QByteArray(300000, 'j'));
    writeFile(package + "/notes with spaces.txt", QByteArray(100000, 'n'));
    writeFile(package + "/sub/deeper/readme.md", "# readme");
    writeFile(package + "/.env", "SECRET");
    writeFile(package + "/sub/Varnholt.command", "x");
    writeFile(package + "/sub/.git/config", "x");
    auto server = test::ServeRun::start(package);
    ASSERT_TRUE(server);

    const QString out = home.scratch() + "/all.zip";
    const auto reply = test::curl({"-o", out, QString::fromUtf8(server->url("/?zip"))});
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("content-type"), "application/zip");
    EXPECT_TRUE(reply.header("content-disposition").contains("Trip%20Photos.zip"));
    const QString listing = QString::fromUtf8(inspectZip(out));
    const QStringList lines = listing.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << listing.toStdString();
    EXPECT_EQ(lines.first(), "OK") << listing.toStdString();
    EXPECT_TRUE(lines.contains("Été à Paris.jpg\t0")) << listing.toStdString();        // stored
    EXPECT_TRUE(lines.contains("notes with spaces.txt\t8")) << listing.toStdString();  // deflated
    EXPECT_TRUE(lines.contains("sub/deeper/readme.md\t8")) << listing.toStdString();
    EXPECT_FALSE(listing.contains(".env") || listing.contains("Varnholt.command") ||
                 listing.contains(".git"))
        << listing.toStdString();

    // A sub-folder's own link; a client that reads a little and goes away
    // leaves the server answering the next.
    EXPECT_EQ(test::curl({"-o", out, QString::fromUtf8(server->url("/sub/?zip"))}).status, 200);
    EXPECT_TRUE(inspectZip(out).contains("deeper/readme.md"));
    writeFile(package + "/big.bin", QByteArray(8 * 1024 * 1024, 'b'));
    for (int i = 0; i < 8; ++i) {
        test::LoopbackSocket socket(SOCK_STREAM);
        ASSERT_TRUE(socket.connect(server->port()));
        const QByteArray request = "GET /?zip HTTP/1.1\r\nHost: x\r\n\r\n";
        ASSERT_EQ(::write(socket.fd(), request.constData(), size_t(request.size())),
                  request.size());
        char buffer[4096];
        ASSERT_GT(::read(socket.fd(), buffer, sizeof buffer), 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(test::curl({"-o", out, QString::fromUtf8(server->url("/?zip"))}).status, 200);
    EXPECT_TRUE(inspectZip(out).startsWith("OK"));
}

}  // namespace
}  // namespace varnholt
