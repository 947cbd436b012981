#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QTcpSocket>
#include <QTest>
#include <QWidget>

#include <signal.h>
#include <sys/wait.h>

#include <functional>

#include "app/ClosureButton.h"
#include "scan/HostScanner.h"

namespace varnholt::test {

// Waits, serving events, until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(20);
    }
    return true;
}

inline bool processAlive(qint32 pid) {
    return pid > 0 && ::kill(pid, 0) == 0;
}

// Ends a server this test started, by its pid, and waits until it is gone.
inline void endServer(qint32 pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGKILL);
    waitUntil([pid] { return !processAlive(pid); }, 3000);
}

// A plain HTTP/1.0 GET on loopback; the body, or an empty array.
inline QByteArray httpGet(qint64 port, const QByteArray& path = "/") {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForConnected(2000)) {
        return {};
    }
    socket.write("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    socket.waitForBytesWritten(2000);
    QByteArray response;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(3000)) {
        response += socket.readAll();
    }
    response += socket.readAll();
    const qsizetype split = response.indexOf("\r\n\r\n");
    return split < 0 ? QByteArray() : response.mid(split + 4);
}

// GETs until the server answers (it may still be starting).
inline QByteArray httpGetWhenUp(qint64 port, int timeoutMs = 8000) {
    QByteArray body;
    waitUntil(
        [&] {
            body = httpGet(port);
            return !body.isEmpty();
        },
        timeoutMs);
    return body;
}

// A package folder in the desktop packages folder holding an index page.
inline QString makePackage(const QString& title, const QByteArray& index = "<h1>hello</h1>\n") {
    const QString path = HostScanner::packagesFolder() + QLatin1Char('/') + title;
    QDir().mkpath(path);
    QFile file(path + QStringLiteral("/index.html"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(index);
    }
    return path;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// The buttons of a row, found by their titles.
inline ClosureButton* buttonTitled(QWidget* root, const QString& title) {
    const auto buttons = root->findChildren<ClosureButton*>();
    for (ClosureButton* button : buttons) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

inline QStringList buttonTitles(QWidget* row) {
    QStringList titles;
    for (ClosureButton* button : row->findChildren<ClosureButton*>()) {
        titles << button->text();
    }
    return titles;
}

}  // namespace varnholt::test
