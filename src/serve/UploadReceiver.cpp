#include "UploadReceiver.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "Log.h"
#include "UploadName.h"
#include "quickhost/ReceivedLog.h"

namespace varnholt::serve {

namespace {

// The processor's own buffer, allocated beside the connection's memory: a
// part's headers and the boundary search fit in it many times over.
constexpr size_t kProcessorBuffer = 64 * 1024;

MHD_Result onData(void* self, MHD_ValueKind, const char*, const char* filename, const char*,
                  const char*, const char* data, uint64_t offset, size_t size) {
    return static_cast<UploadReceiver*>(self)->take(filename, data, offset, size) ? MHD_YES
                                                                                  : MHD_NO;
}

bool outOfSpace(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

}  // namespace

UploadReceiver::UploadReceiver(MHD_Connection* connection, std::unique_ptr<ReceivedFolder> folder,
                               Settings settings)
    : m_folder(std::move(folder)),
      m_settings(std::move(settings)),
      m_processor(connection == nullptr
                      ? nullptr
                      : MHD_create_post_processor(connection, kProcessorBuffer, &onData, this)) {}

UploadReceiver* UploadReceiver::refused(unsigned status) {
    auto* receiver = new UploadReceiver(nullptr, nullptr, Settings{});
    receiver->m_failure = status;
    receiver->m_counted = false;
    return receiver;
}

UploadReceiver::~UploadReceiver() {
    if (m_processor != nullptr) {
        MHD_destroy_post_processor(m_processor);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    removeTemporaries();
}

void UploadReceiver::feed(const char* data, size_t size) {
    m_fed += qint64(size);
    if (m_failure == 0 && MHD_post_process(m_processor, data, size) != MHD_YES && m_failure == 0) {
        fail(MHD_HTTP_BAD_REQUEST, QStringLiteral("the form data is malformed"));
    }
}

bool UploadReceiver::take(const char* filename, const char* data, uint64_t offset, size_t size) {
    // Fields that are no file, and the empty part a form sends when no file
    // was chosen, are not saved.
    if (filename == nullptr || *filename == '\0') {
        return true;
    }
    const bool continues =
        offset != 0 || (m_fd >= 0 && m_parts.back().size == 0 && m_parts.back().given == filename);
    if (!continues && !startFile(filename)) {
        return false;
    }
    Incoming& part = m_parts.back();
    if (qint64(size) > m_settings.maxFileBytes - part.size) {
        fail(MHD_HTTP_CONTENT_TOO_LARGE, QStringLiteral("%1 is over the limit of %2 bytes")
                                             .arg(QString::fromUtf8(safeUploadName(part.given)))
                                             .arg(m_settings.maxFileBytes));
        return false;
    }
    return write(part, data, size);
}

bool UploadReceiver::startFile(const char* filename) {
    endFile();
    if (m_failure != 0) {
        return false;
    }
    const ReceivedFolder::Temporary temporary = m_folder->createTemporary(m_settings.mode);
    if (temporary.fd < 0) {
        const int error = errno;
        fail(outOfSpace(error) ? MHD_HTTP_INSUFFICIENT_STORAGE : MHD_HTTP_INTERNAL_SERVER_ERROR,
             QStringLiteral("cannot create a file in Received: %1").arg(std::strerror(error)));
        return false;
    }
    m_parts.append(Incoming{QByteArray(filename), temporary.name, 0});
    m_fd = temporary.fd;
    return true;
}

bool UploadReceiver::write(Incoming& part, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            fail(outOfSpace(error) ? MHD_HTTP_INSUFFICIENT_STORAGE : MHD_HTTP_INTERNAL_SERVER_ERROR,
                 QStringLiteral("cannot write to Received: %1").arg(std::strerror(error)));
            return false;
        }
        part.size += written;
        data += written;
        size -= size_t(written);
    }
    return true;
}

void UploadReceiver::endFile() {
    if (m_fd < 0) {
        return;
    }
    // Synced before it gets its name: after a crash a received file is
    // whole or absent, never empty.
    const bool synced = ::fsync(m_fd) == 0;
    const int error = errno;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (m_failure == 0 && (!synced || !closed)) {
        fail(outOfSpace(error) ? MHD_HTTP_INSUFFICIENT_STORAGE : MHD_HTTP_INTERNAL_SERVER_ERROR,
             QStringLiteral("cannot finish a file in Received: %1").arg(std::strerror(error)));
    }
}

void UploadReceiver::fail(unsigned status, const QString& why) {
    if (m_failure == 0) {
        m_failure = status;
        qCWarning(lcServe).noquote() << "Upload from" << m_settings.sender << "refused:" << why;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    removeTemporaries();
}

void UploadReceiver::removeTemporaries() {
    for (Incoming& part : m_parts) {
        if (!part.temporary.isEmpty()) {
            m_folder->remove(part.temporary);
            part.temporary.clear();
        }
    }
}

UploadReceiver::Outcome UploadReceiver::finish() {
    // The processor hands over what it still holds as it goes.
    const bool complete =
        m_processor == nullptr || MHD_destroy_post_processor(m_processor) == MHD_YES;
    m_processor = nullptr;
    m_finished = true;
    endFile();
    if (m_failure == 0 && !complete) {
        fail(MHD_HTTP_BAD_REQUEST, QStringLiteral("the form data ended early"));
    }
    Outcome outcome;
    for (Incoming& part : m_parts) {
        if (m_failure != 0) {
            break;
        }
        const QByteArray name = m_folder->publish(part.temporary, safeUploadName(part.given));
        if (name.isEmpty()) {
            fail(MHD_HTTP_INTERNAL_SERVER_ERROR,
                 QStringLiteral("cannot name a file in Received: %1").arg(std::strerror(errno)));
            break;
        }
        part.temporary.clear();
        outcome.names.append(name);
        const QString text = QString::fromUtf8(name);
        if (!ReceivedFolder::record(m_settings.packageFd,
                                    ReceivedFile{text, part.size, m_settings.sender})) {
            qCWarning(lcServe).noquote() << "Cannot record the received" << text;
        }
        qCInfo(lcServe).noquote() << QStringLiteral("Received %1 (%2 bytes) from %3")
                                         .arg(text)
                                         .arg(part.size)
                                         .arg(m_settings.sender);
    }
    outcome.status = m_failure != 0 ? m_failure : unsigned(MHD_HTTP_OK);
    return outcome;
}

QString UploadReceiver::senderOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr) {
        return QStringLiteral("unknown");
    }
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* address = info->client_addr;
    if (address->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                    sizeof text);
    } else if (address->sa_family == AF_INET6) {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&v6)) {
            ::inet_ntop(AF_INET, &v6.s6_addr[12], text, sizeof text);
        } else {
            ::inet_ntop(AF_INET6, &v6, text, sizeof text);
        }
    }
    return text[0] != '\0' ? QString::fromLatin1(text) : QStringLiteral("unknown");
}

}  // namespace varnholt::serve
