#include "SockDiagParser.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>

#include <cstring>
#include <limits>

namespace varnholt::SockDiagParser {

namespace {

template <typename T>
T readAt(const QByteArray& bytes, qsizetype offset) {
    T value;
    std::memcpy(&value, bytes.constData() + offset, sizeof(T));
    return value;
}

// The errno a negative netlink status carries. Only a damaged or hostile
// reply holds INT_MIN, whose negation does not fit an int; it still counts as
// an error rather than as none.
int errnoOf(int status) {
    return status == std::numeric_limits<int>::min() ? std::numeric_limits<int>::max() : -status;
}

InetSocket toSocket(const inet_diag_msg& msg) {
    InetSocket socket;
    socket.family = msg.idiag_family;
    std::memcpy(socket.address.data(), msg.id.idiag_src, socket.address.size());
    if (socket.family == AF_INET) {
        std::fill(socket.address.begin() + 4, socket.address.end(), 0);
    }
    socket.port = ntohs(msg.id.idiag_sport);
    socket.remotePort = ntohs(msg.id.idiag_dport);
    socket.state = msg.idiag_state;
    socket.inode = msg.idiag_inode;
    socket.uid = msg.idiag_uid;
    return socket;
}

// Appends the filter program as an INET_DIAG_REQ_BYTECODE attribute and
// completes the message header.
QByteArray finish(nlmsghdr header, const void* body, qsizetype bodySize, const QByteArray& filter) {
    const qsizetype attributeLength = filter.isEmpty() ? 0 : NLA_HDRLEN + filter.size();
    header.nlmsg_len = NLMSG_LENGTH(bodySize) + NLA_ALIGN(attributeLength);
    QByteArray bytes(header.nlmsg_len, '\0');
    std::memcpy(bytes.data(), &header, sizeof(header));
    std::memcpy(bytes.data() + NLMSG_HDRLEN, body, bodySize);
    if (!filter.isEmpty()) {
        nlattr attribute{};
        attribute.nla_len = quint16(attributeLength);
        attribute.nla_type = INET_DIAG_REQ_BYTECODE;
        const qsizetype at = NLMSG_LENGTH(bodySize);
        std::memcpy(bytes.data() + at, &attribute, sizeof(attribute));
        std::memcpy(bytes.data() + at + NLA_HDRLEN, filter.constData(), filter.size());
    }
    return bytes;
}

// Adds what one message of the reply says to chunk; false when it ends the
// reply (the dump is done, failed, or the reply is damaged).
bool readMessage(Chunk& chunk, quint16 type, const QByteArray& bytes, qsizetype payload,
                 qsizetype payloadLength) {
    switch (type) {
        case NLMSG_DONE:
            // Newer kernels append the dump's final status.
            if (payloadLength >= qsizetype(sizeof(int))) {
                const int status = readAt<int>(bytes, payload);
                if (status < 0) {
                    chunk.error = errnoOf(status);
                }
            }
            chunk.done = true;
            return false;
        case NLMSG_ERROR: {
            if (payloadLength < qsizetype(sizeof(int))) {
                chunk.malformed = true;
                return false;
            }
            const int status = readAt<int>(bytes, payload);
            if (status != 0) {
                chunk.error = status < 0 ? errnoOf(status) : status;
                return false;
            }
            return true;  // an acknowledgement
        }
        case NLMSG_OVERRUN:
            chunk.malformed = true;
            return false;
        case SOCK_DIAG_BY_FAMILY:
        case TCPDIAG_GETSOCK: {
            if (payloadLength < qsizetype(sizeof(inet_diag_msg))) {
                chunk.malformed = true;
                return false;
            }
            const auto msg = readAt<inet_diag_msg>(bytes, payload);
            if (msg.idiag_family == AF_INET || msg.idiag_family == AF_INET6) {
                chunk.sockets.append(toSocket(msg));
            }
            return true;
        }
        default:
            return true;  // NLMSG_NOOP and what this reader does not know
    }
}

}  // namespace

QByteArray portFilter(quint16 port) {
    // "local port is P, or remote port is P". Each test falls through to the
    // next instruction on success and jumps on failure, the shape the kernel's
    // checker accepts: it only allows jumps to instructions it reaches by
    // following the success path. A jump to the very end accepts the socket,
    // a jump four bytes past it rejects it.
    //   0: local == P ?  yes: 8 (to the jump)  no: 12 (to the remote test)
    //   8: jump                                 to 20, the end: accept
    //  12: remote == P?  yes: 8 (the end)       no: 12 (past the end): reject
    const inet_diag_bc_op program[5] = {
        {INET_DIAG_BC_S_EQ, 8, 12}, {0, 0, port}, {INET_DIAG_BC_JMP, 4, 12},
        {INET_DIAG_BC_D_EQ, 8, 12}, {0, 0, port},
    };
    return QByteArray(reinterpret_cast<const char*>(program), sizeof(program));
}

Chunk parse(const QByteArray& bytes, quint32 sequence) {
    Chunk chunk;
    qsizetype offset = 0;
    const qsizetype size = bytes.size();
    while (offset < size) {
        if (size - offset < qsizetype(sizeof(nlmsghdr))) {
            chunk.malformed = true;
            return chunk;
        }
        const auto header = readAt<nlmsghdr>(bytes, offset);
        const qsizetype length = header.nlmsg_len;
        if (length < qsizetype(sizeof(nlmsghdr)) || length > size - offset) {
            chunk.malformed = true;
            return chunk;
        }
        const qsizetype payload = offset + qsizetype(NLMSG_HDRLEN);
        const qsizetype payloadLength = length - qsizetype(NLMSG_HDRLEN);
        // Messages are padded to four bytes; the last one may omit its padding.
        offset += std::min<qsizetype>(NLMSG_ALIGN(length), size - offset);

        if (header.nlmsg_seq != sequence) {
            continue;
        }
        if (!readMessage(chunk, header.nlmsg_type, bytes, payload, payloadLength)) {
            return chunk;
        }
    }
    return chunk;
}

QByteArray request(quint8 family, quint8 protocol, quint32 states, quint32 sequence,
                   std::optional<quint16> port) {
    inet_diag_req_v2 req{};
    req.sdiag_family = family;
    req.sdiag_protocol = protocol;
    req.idiag_states = states;

    nlmsghdr header{};
    header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header.nlmsg_seq = sequence;
    return finish(header, &req, sizeof(req), port ? portFilter(*port) : QByteArray());
}

QByteArray tcpRequestBothFamilies(quint32 states, quint32 sequence, std::optional<quint16> port) {
    inet_diag_req req{};
    req.idiag_family = AF_UNSPEC;
    req.idiag_states = states;
    nlmsghdr header{};
    header.nlmsg_type = TCPDIAG_GETSOCK;
    header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header.nlmsg_seq = sequence;
    return finish(header, &req, sizeof(req), port ? portFilter(*port) : QByteArray());
}

}  // namespace varnholt::SockDiagParser
