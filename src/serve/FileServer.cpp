#include "FileServer.h"

#include <QString>

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <unistd.h>
#include <cstring>
#include <thread>

#include "ByteRange.h"
#include "ContentType.h"
#include "HttpDate.h"
#include "ListingPage.h"
#include "Log.h"
#include "PrivatePath.h"
#include "ReceivedFolder.h"
#include "Reply.h"
#include "RequestPath.h"
#include "UploadReceiver.h"
#include "ZipStream.h"

namespace varnholt::serve {

namespace {

// The state of a request that is answered once whole; an upload's is its
// receiver.
int seen = 0;

// Whether a path lies in the folder visitors' uploads land in.
bool isReceived(const QList<QByteArray>& names) {
    return !names.isEmpty() && names.first() == ReceivedFolder::kName;
}

MHD_Result onRequest(void* self, MHD_Connection* connection, const char* url, const char* method,
                     const char*, const char* data, size_t* uploadSize, void** state) {
    // The answer waits for the whole request: one queued while a body may
    // still come would cost the connection its keep-alive. A body is read
    // and dropped; other methods are refused at once, after their body only
    // when it is short and on its way.
    auto* server = static_cast<FileServer*>(self);
    const bool readable = std::strcmp(method, MHD_HTTP_METHOD_GET) == 0 ||
                          std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
    UploadHandler* uploads = server->uploads();
    const bool upload = uploads != nullptr && std::strcmp(method, MHD_HTTP_METHOD_POST) == 0;
    if (*state == nullptr && upload) {
        return MHD_Result(uploads->begin(connection, url, state));
    }
    if (*state == nullptr && (readable || drainBeforeAnswer(connection))) {
        *state = &seen;
        return MHD_YES;
    }
    if (*state != nullptr && *state != &seen) {
        return MHD_Result(
            uploads->proceed(connection, *static_cast<UploadReceiver*>(*state), data, uploadSize));
    }
    if (*uploadSize != 0) {
        *uploadSize = 0;
        return MHD_YES;
    }
    return MHD_Result(server->answer(connection, url, method));
}

void onCompleted(void* self, MHD_Connection*, void** state, MHD_RequestTerminationCode code) {
    if (*state != nullptr && *state != &seen) {
        static_cast<FileServer*>(self)->uploads()->ended(
            static_cast<UploadReceiver*>(*state), code == MHD_REQUEST_TERMINATED_COMPLETED_OK);
        *state = nullptr;
    }
}

// The path is decoded by us, once and segment by segment; the library's own
// decoding would turn "%2f" into a separator before we could tell.
size_t keepEscapes(void*, MHD_Connection*, char* text) {
    return std::strlen(text);
}

QByteArray header(MHD_Connection* connection, const char* name) {
    return QByteArray(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name));
}

int send(MHD_Connection* connection, unsigned status, MHD_Response* response) {
    return sendReply(connection, status, response);
}

QByteArray entityTag(const struct stat& st) {
#ifdef __APPLE__
    const timespec& mtime = st.st_mtimespec;
#else
    const timespec& mtime = st.st_mtim;
#endif
    const qint64 nanos = qint64(mtime.tv_sec) * 1000000000 + mtime.tv_nsec;
    return '"' + QByteArray::number(quint64(st.st_ino), 16) + '-' +
           QByteArray::number(qint64(st.st_size), 16) + '-' + QByteArray::number(nanos, 16) + '"';
}

bool tagMatches(const QByteArray& list, const QByteArray& tag) {
    for (QByteArray item : list.split(',')) {
        item = item.trimmed();
        if (item.startsWith("W/")) {
            item = item.mid(2);  // If-None-Match compares weakly
        }
        if (item == "*" || item == tag) {
            return true;
        }
    }
    return false;
}

// The condition headers of RFC 9110: If-None-Match wins over
// If-Modified-Since, which is ignored when it is not a date we sent.
bool notModified(MHD_Connection* connection, const QByteArray& tag, qint64 modified) {
    const char* match =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH);
    if (match != nullptr) {
        return tagMatches(QByteArray(match), tag);
    }
    const auto since = parseHttpDate(header(connection, MHD_HTTP_HEADER_IF_MODIFIED_SINCE));
    return since && modified <= *since;
}

void addFileHeaders(MHD_Response* response, const QByteArray& tag, const QByteArray& modified) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_ACCEPT_RANGES, "bytes");
    MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, tag.constData());
    MHD_add_response_header(response, MHD_HTTP_HEADER_LAST_MODIFIED, modified.constData());
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
}

}  // namespace

FileServer::FileServer(std::unique_ptr<PackageTree> tree, QByteArray token, qint64 maxUploadBytes)
    : m_tree(std::move(tree)),
      m_token(std::move(token)),
      m_prefix(m_token.isEmpty() ? QByteArray() : privatePrefix(m_token)) {
    if (maxUploadBytes > 0) {
        m_uploads = std::make_unique<UploadHandler>(*m_tree, m_token, maxUploadBytes);
    }
}

FileServer::~FileServer() {
    if (m_daemon != nullptr) {
        MHD_stop_daemon(m_daemon);
    }
}

bool FileServer::listen(const QByteArray& address, quint16 port) {
    sockaddr_storage storage{};
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_TURBO;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (::inet_pton(AF_INET, address.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
    } else if (::inet_pton(AF_INET6, address.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        flags |= MHD_USE_IPv6;
    } else {
        qCWarning(lcServe).noquote()
            << "Not an address to listen on:" << QString::fromUtf8(address);
        return false;
    }
    m_daemon = MHD_start_daemon(
        flags, port, nullptr, nullptr, &onRequest, this, MHD_OPTION_SOCK_ADDR, &storage,
        MHD_OPTION_THREAD_POOL_SIZE, kThreads, MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, kPerAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT,
        kIdleSeconds, MHD_OPTION_LISTEN_BACKLOG_SIZE, kBacklog, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        kRequestMemory, MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_UNESCAPE_CALLBACK,
        &keepEscapes, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &onCompleted, this, MHD_OPTION_END);
    return m_daemon != nullptr;
}

int FileServer::answer(MHD_Connection* connection, const char* url, const char* method) {
    const bool head = std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
    if (!head && std::strcmp(method, MHD_HTTP_METHOD_GET) != 0) {
        MHD_Response* response =
            MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW,
                                m_uploads && !m_token.isEmpty() ? "GET, HEAD, POST" : "GET, HEAD");
        return send(connection, MHD_HTTP_METHOD_NOT_ALLOWED, response);
    }
    QByteArray raw(url);
    if (!m_token.isEmpty()) {
        PrivatePath split = splitPrivatePath(raw, m_token);
        if (split.status == PrivatePath::Status::Redirect) {
            return answerPrivateRoot(connection);
        }
        if (split.status == PrivatePath::Status::NotFound) {
            // The same answer as for a missing file: nothing tells a
            // guessed token from a wrong path.
            return sendText(connection, MHD_HTTP_NOT_FOUND, "Not found\n");
        }
        raw = std::move(split.rest);
    }
    const RequestPath path = parseRequestPath(raw);
    if (path.status == RequestPath::Status::BadRequest) {
        return sendText(connection, MHD_HTTP_BAD_REQUEST, "Bad request\n");
    }
    PackageTree::Target target;
    if (path.status == RequestPath::Status::Ok) {
        target = m_tree->find(path.names);
    }
    switch (target.kind) {
        case PackageTree::Target::Kind::File:
            return answerFile(connection, target,
                              path.names.isEmpty() ? QByteArray() : path.names.back(),
                              isReceived(path.names));
        case PackageTree::Target::Kind::Folder:
            return answerFolder(connection, path.names, path.trailingSlash || raw == "/", target.fd,
                                head);
        case PackageTree::Target::Kind::Missing:
            break;
    }
    return sendText(connection, MHD_HTTP_NOT_FOUND, "Not found\n");
}

int FileServer::answerPrivateRoot(MHD_Connection* connection) {
    const bool zip = MHD_lookup_connection_value_n(connection, MHD_GET_ARGUMENT_KIND, "zip", 3,
                                                   nullptr, nullptr) == MHD_YES;
    return sendRedirect(connection, MHD_HTTP_MOVED_PERMANENTLY,
                        m_prefix + '/' + QByteArray(zip ? "?zip" : ""));
}

int FileServer::answerFile(MHD_Connection* connection, PackageTree::Target& file,
                           const QByteArray& name, bool fromVisitors) {
    const qint64 size = qint64(file.st.st_size);
    const QByteArray tag = entityTag(file.st);
    const QByteArray modified = httpDate(file.st.st_mtime);
    if (notModified(connection, tag, file.st.st_mtime)) {
        ::close(file.fd);
        MHD_Response* response =
            MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        addFileHeaders(response, tag, modified);
        return send(connection, MHD_HTTP_NOT_MODIFIED, response);
    }
    RangeRequest range;
    const char* rangeHeader =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_RANGE);
    const char* ifRange =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_RANGE);
    // A range of a file that changed since the client's copy would splice
    // two versions together: If-Range must name this very version.
    if (rangeHeader != nullptr && (ifRange == nullptr || tag == ifRange || modified == ifRange)) {
        range = parseRange(rangeHeader, size);
    }
    if (range.kind == RangeRequest::Kind::Unsatisfiable) {
        ::close(file.fd);
        MHD_Response* response =
            MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        addFileHeaders(response, tag, modified);
        const QByteArray all = "bytes */" + QByteArray::number(size);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE, all.constData());
        return send(connection, MHD_HTTP_RANGE_NOT_SATISFIABLE, response);
    }
    const bool partial = range.kind == RangeRequest::Kind::Partial;
    const qint64 first = partial ? range.first : 0;
    const qint64 length = partial ? range.last - range.first + 1 : size;
    // Sent with sendfile from the very descriptor that was opened and
    // checked; the response closes it.
    MHD_Response* response =
        MHD_create_response_from_fd_at_offset64(uint64_t(length), file.fd, uint64_t(first));
    if (response == nullptr) {
        ::close(file.fd);
        return MHD_NO;
    }
    addFileHeaders(response, tag, modified);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                            contentTypeFor(name).constData());
    if (fromVisitors) {
        // What anyone with the link sent in: shown, never run as a page of
        // this share (its script could read every other file of it).
        MHD_add_response_header(response, "Content-Security-Policy", "sandbox");
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    }
    if (partial) {
        const QByteArray span = "bytes " + QByteArray::number(range.first) + '-' +
                                QByteArray::number(range.last) + '/' + QByteArray::number(size);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE, span.constData());
    }
    return send(connection, partial ? MHD_HTTP_PARTIAL_CONTENT : MHD_HTTP_OK, response);
}

int FileServer::answerFolder(MHD_Connection* connection, const QList<QByteArray>& names,
                             bool trailingSlash, int fd, bool head) {
    ::close(fd);  // looked up again by name below: the handle only told its kind
    const bool zip = MHD_lookup_connection_value_n(connection, MHD_GET_ARGUMENT_KIND, "zip", 3,
                                                   nullptr, nullptr) == MHD_YES;
    if (!trailingSlash) {
        // Relative links in the page work only under the folder's own URL.
        MHD_Response* response =
            MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        // Made from the names, not echoed: "//host/x" would send the
        // client to another server.
        QByteArray location = m_prefix;
        for (const QByteArray& name : names) {
            location += '/' + percentEncoded(name);
        }
        location += '/' + QByteArray(zip ? "?zip" : "");
        MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, location.constData());
        return send(connection, MHD_HTTP_MOVED_PERMANENTLY, response);
    }
    if (zip) {
        return answerZip(connection, names, head);
    }
    PackageTree::Target index = m_tree->find(QList<QByteArray>(names) << "index.html");
    if (index.kind == PackageTree::Target::Kind::File) {
        return answerFile(connection, index, "index.html", isReceived(names));
    }
    if (index.fd >= 0) {
        ::close(index.fd);
    }
    return sendText(connection, MHD_HTTP_OK,
                    listingPage(m_tree->name(), names, m_tree->list(names), m_prefix,
                                m_uploads && !m_token.isEmpty()),
                    "text/html; charset=utf-8");
}

int FileServer::answerZip(MHD_Connection* connection, const QList<QByteArray>& names, bool head) {
    const QByteArray base = names.isEmpty() ? m_tree->name() : names.back();
    const QByteArray disposition = "attachment; filename=\"download.zip\"; filename*=UTF-8''" +
                                   percentEncoded(QString::fromUtf8(base).toUtf8() + ".zip");
    if (head) {
        MHD_Response* response =
            MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/zip");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_DISPOSITION,
                                disposition.constData());
        return send(connection, MHD_HTTP_OK, response);
    }
    if (m_zips->fetch_add(1) >= kZipLimit) {
        m_zips->fetch_sub(1);
        return sendText(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "Too many downloads at once\n");
    }
    int fds[2] = {-1, -1};
    // The server starts no programs, so no end can leak into one.
    if (::pipe(fds) != 0) {
        m_zips->fetch_sub(1);
        return sendText(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "Cannot stream\n");
    }
    MHD_Response* response = MHD_create_response_from_pipe(fds[0]);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/zip");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_DISPOSITION, disposition.constData());
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
    // The writer ends when the zip is done or the client has gone (the
    // library closes the pipe's read end with the response).
    std::thread([tree = m_tree.get(), names, fd = fds[1], zips = m_zips] {
        writeZip(*tree, names, fd);
        zips->fetch_sub(1);
    }).detach();
    return send(connection, MHD_HTTP_OK, response);
}

}  // namespace varnholt::serve
