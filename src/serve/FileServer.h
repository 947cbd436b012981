#pragma once

#include <QByteArray>

#include <atomic>
#include <memory>

#include "PackageTree.h"
#include "UploadHandler.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace varnholt::serve {

// The HTTP side of varnholt-serve: libmicrohttpd's threads answer GET and
// HEAD for one package. Bounded everywhere a visitor could make it grow:
// threads, connections in total and per address, idle time, zip streams.
class FileServer {
public:
    static constexpr unsigned kThreads = 4;
    // One phone opening a page of thumbnails, or 200 connections at once,
    // stays under the limit per address; idle ones time out, so they cannot
    // hold the slots for long.
    static constexpr unsigned kConnectionLimit = 1024;
    static constexpr unsigned kPerAddressLimit = 256;
    static constexpr unsigned kIdleSeconds = 15;
    static constexpr unsigned kBacklog = 1024;
    // Per connection, for the request line and headers: longer ones are
    // refused (414, 431) instead of growing.
    static constexpr size_t kRequestMemory = 16 * 1024;
    static constexpr int kZipLimit = 4;

    // With a token the server is private: only URLs under "/s/TOKEN/" are
    // served, and every link it makes keeps that prefix.
    // maxUploadBytes > 0 takes uploads (files of at most that size), which
    // a server that is not private refuses.
    explicit FileServer(std::unique_ptr<PackageTree> tree, QByteArray token = {},
                        qint64 maxUploadBytes = 0);
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    // Listens on address (IPv4 or IPv6 text) and port; false when it cannot.
    bool listen(const QByteArray& address, quint16 port);

    // libmicrohttpd's entry points; public only for its C callbacks.
    int answer(MHD_Connection* connection, const char* url, const char* method);
    UploadHandler* uploads() const { return m_uploads.get(); }

private:
    int answerPrivateRoot(MHD_Connection* connection);
    // fromVisitors: a file of the uploads' folder, kept from running script.
    int answerFile(MHD_Connection* connection, PackageTree::Target& file, const QByteArray& name,
                   bool fromVisitors = false);
    int answerFolder(MHD_Connection* connection, const QList<QByteArray>& names, bool trailingSlash,
                     int fd, bool head);
    int answerZip(MHD_Connection* connection, const QList<QByteArray>& names, bool head);

    std::unique_ptr<PackageTree> m_tree;
    QByteArray m_token;
    QByteArray m_prefix;                       // empty when serving openly
    std::unique_ptr<UploadHandler> m_uploads;  // null without uploads
    MHD_Daemon* m_daemon = nullptr;
    std::shared_ptr<std::atomic<int>> m_zips = std::make_shared<std::atomic<int>>(0);
};

}  // namespace varnholt::serve
