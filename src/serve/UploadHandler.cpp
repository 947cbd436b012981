#include "UploadHandler.h"

#include <QString>

#include <microhttpd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "Log.h"
#include "PackageTree.h"
#include "PrivatePath.h"
#include "ReceivedFolder.h"
#include "Reply.h"
#include "RequestPath.h"
#include "UploadReceiver.h"

namespace varnholt::serve {

namespace {

QByteArray header(MHD_Connection* connection, const char* name) {
    return QByteArray(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name));
}

// Free bytes for an unprivileged writer on the package's file system; -1
// when unknown.
qint64 freeSpace(int fd) {
    struct statvfs st {};
    if (::fstatvfs(fd, &st) != 0) {
        return -1;
    }
    return qint64(st.f_bavail) * qint64(st.f_frsize);
}

mode_t fileMode() {
    // Read once, before the server's threads start: umask can only be read
    // by setting it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0644 & ~mask;
}

}  // namespace

UploadHandler::UploadHandler(const PackageTree& tree, QByteArray token, qint64 maxFileBytes)
    : m_tree(tree),
      m_token(std::move(token)),
      m_prefix(m_token.isEmpty() ? QByteArray() : privatePrefix(m_token)),
      m_maxFileBytes(maxFileBytes),
      m_mode(fileMode()) {}

int UploadHandler::begin(MHD_Connection* connection, const char* url, void** state) {
    QByteArray folderUrl;
    if (const unsigned status = refusal(connection, url, folderUrl); status != 0) {
        return refuse(connection, status, state);
    }
    bool known = false;
    const qint64 length = header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH).toLongLong(&known);
    const qint64 space = freeSpace(m_tree.rootFd());
    if (known && space >= 0 && length > space) {
        qCWarning(lcServe).noquote()
            << QStringLiteral("Upload of %1 bytes refused: %2 bytes free").arg(length).arg(space);
        return refuse(connection, MHD_HTTP_INSUFFICIENT_STORAGE, state);
    }
    if (m_active.fetch_add(1) >= kUploadLimit) {
        m_active.fetch_sub(1);
        return refuse(connection, MHD_HTTP_SERVICE_UNAVAILABLE, state);
    }
    std::unique_ptr<ReceivedFolder> folder = ReceivedFolder::open(m_tree.rootFd());
    if (!folder) {
        m_active.fetch_sub(1);
        return refuse(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, state);
    }
    auto* receiver = new UploadReceiver(
        connection, std::move(folder),
        {m_tree.rootFd(), m_maxFileBytes, m_mode, UploadReceiver::senderOf(connection), folderUrl});
    if (!receiver->valid()) {
        delete receiver;
        m_active.fetch_sub(1);
        return refuse(connection, MHD_HTTP_BAD_REQUEST, state);
    }
    MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, kIdleSeconds);
    *state = receiver;
    return MHD_YES;
}

int UploadHandler::refuse(MHD_Connection* connection, unsigned status, void** state) {
    if (!drainBeforeAnswer(connection)) {
        return answerFailure(connection, status);
    }
    // Not counted among the uploads at once: a refused request must not
    // hold a slot while its body is dropped.
    *state = UploadReceiver::refused(status);
    return MHD_YES;
}

unsigned UploadHandler::refusal(MHD_Connection* connection, const char* url,
                                QByteArray& folderUrl) {
    if (m_token.isEmpty()) {
        return MHD_HTTP_FORBIDDEN;
    }
    const PrivatePath split = splitPrivatePath(url, m_token);
    if (split.status == PrivatePath::Status::NotFound) {
        return MHD_HTTP_NOT_FOUND;
    }
    const RequestPath path = parseRequestPath(split.rest.isEmpty() ? "/" : split.rest);
    if (path.status == RequestPath::Status::BadRequest) {
        return MHD_HTTP_BAD_REQUEST;
    }
    PackageTree::Target target;
    if (path.status == RequestPath::Status::Ok) {
        target = m_tree.find(path.names);
    }
    if (target.fd >= 0) {
        ::close(target.fd);
    }
    if (target.kind != PackageTree::Target::Kind::Folder) {
        return MHD_HTTP_NOT_FOUND;
    }
    folderUrl = m_prefix;
    for (const QByteArray& name : path.names) {
        folderUrl += '/' + percentEncoded(name);
    }
    folderUrl += '/';
    const QByteArray type = header(connection, MHD_HTTP_HEADER_CONTENT_TYPE).toLower();
    if (!type.trimmed().startsWith("multipart/form-data")) {
        return MHD_HTTP_UNSUPPORTED_MEDIA_TYPE;
    }
    return 0;
}

int UploadHandler::proceed(MHD_Connection* connection, UploadReceiver& receiver, const char* data,
                           size_t* size) {
    if (*size != 0) {
        receiver.feed(data, *size);
        *size = 0;
        // A short rest of the body is read and dropped, so the client reads
        // the answer rather than a reset; a long one is answered at once
        // where the library allows it, not after gigabytes that are dropped.
        bool known = false;
        const qint64 length = header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH).toLongLong(&known);
        const bool longRest = !known || length - receiver.fed() > kDropBytes;
        if (receiver.failure() != 0 && !receiver.answered() && longRest &&
            answerFailure(connection, receiver.failure()) == MHD_YES) {
            receiver.setAnswered();
        }
        return MHD_YES;
    }
    if (receiver.answered()) {
        return MHD_YES;
    }
    const UploadReceiver::Outcome outcome = receiver.finish();
    if (outcome.status != MHD_HTTP_OK) {
        return answerFailure(connection, outcome.status);
    }
    // A form in a browser goes back to the folder, where the files now are;
    // any other client gets the names they were saved under.
    if (header(connection, MHD_HTTP_HEADER_ACCEPT).contains("text/html")) {
        return sendRedirect(connection, MHD_HTTP_SEE_OTHER, receiver.returnTo());
    }
    QByteArray names;
    for (const QByteArray& name : outcome.names) {
        names += name + '\n';
    }
    return sendText(connection, MHD_HTTP_OK, names);
}

int UploadHandler::answerFailure(MHD_Connection* connection, unsigned status) {
    switch (status) {
        case MHD_HTTP_BAD_REQUEST:
            return sendText(connection, status, "Bad upload\n");
        case MHD_HTTP_FORBIDDEN:
            return sendText(connection, status, "Uploads need a private link\n");
        case MHD_HTTP_NOT_FOUND:
            return sendText(connection, status, "Not found\n");
        case MHD_HTTP_UNSUPPORTED_MEDIA_TYPE:
            return sendText(connection, status, "Uploads are sent as multipart/form-data\n");
        case MHD_HTTP_SERVICE_UNAVAILABLE:
            return sendText(connection, status, "Too many uploads at once\n");
        case MHD_HTTP_CONTENT_TOO_LARGE:
            return sendText(connection, status, "File too large\n");
        case MHD_HTTP_INSUFFICIENT_STORAGE:
            return sendText(connection, status, "Not enough free space\n");
        default:
            return sendText(connection, status, "Cannot save the upload\n");
    }
}

void UploadHandler::ended(UploadReceiver* receiver, bool completed) {
    if (!completed && !receiver->finished() && receiver->failure() == 0) {
        qCInfo(lcServe) << "An upload was cut off; its files are not kept";
    }
    if (receiver->counted()) {
        m_active.fetch_sub(1);
    }
    delete receiver;
}

}  // namespace varnholt::serve
