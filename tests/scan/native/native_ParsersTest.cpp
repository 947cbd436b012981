#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>

#include <cstring>
#include <limits>

#include "scan/native/ProcFs.h"
#include "scan/native/ProcNetParser.h"
#include "scan/native/ProcStatParser.h"
#include "scan/native/SockDiagParser.h"
#include "scan/native/SocketName.h"

namespace varnholt {
namespace {

constexpr quint32 kSeq = 77;

QByteArray message(quint16 type, const QByteArray& payload, quint32 seq = kSeq,
                   quint16 flags = NLM_F_MULTI, bool pad = true) {
    nlmsghdr header{};
    header.nlmsg_len = NLMSG_LENGTH(payload.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = flags;
    header.nlmsg_seq = seq;
    QByteArray bytes(reinterpret_cast<const char*>(&header), sizeof(header));
    bytes.append(payload);
    if (pad) {
        bytes.append(QByteArray(NLMSG_ALIGN(bytes.size()) - bytes.size(), '\0'));
    }
    return bytes;
}

QByteArray diagMessage(int family, const char* address, quint16 port, quint8 state, quint32 inode,
                       quint16 remotePort = 0, quint32 seq = kSeq) {
    inet_diag_msg msg{};
    msg.idiag_family = quint8(family);
    msg.idiag_state = state;
    msg.id.idiag_sport = htons(port);
    msg.id.idiag_dport = htons(remotePort);
    inet_pton(family, address, msg.id.idiag_src);
    msg.idiag_inode = inode;
    msg.idiag_uid = 1000;
    // Kernels append attributes (INET_DIAG_SHUTDOWN and the like) after the
    // fixed part; the parser must step over them.
    QByteArray payload(reinterpret_cast<const char*>(&msg), sizeof(msg));
    payload.append(QByteArray("\x05\x00\x08\x00\x00\x00\x00\x00", 8));
    return message(SOCK_DIAG_BY_FAMILY, payload, seq);
}

QByteArray intPayload(int value) {
    return QByteArray(reinterpret_cast<const char*>(&value), 4);
}

TEST(NativeSockDiagParser, ReadsSocketsUntilTheEndMarker) {
    const QByteArray bytes = diagMessage(AF_INET, "127.0.0.1", 8000, 10, 111) +
                             diagMessage(AF_INET6, "::1", 5173, 10, 222) +
                             message(NLMSG_DONE, intPayload(0)) +
                             diagMessage(AF_INET, "10.0.0.5", 9999, 10, 333);
    const auto chunk = SockDiagParser::parse(bytes, kSeq);
    EXPECT_TRUE(chunk.done);
    EXPECT_EQ(chunk.error, 0);
    EXPECT_FALSE(chunk.malformed);
    ASSERT_EQ(chunk.sockets.size(), 2);
    EXPECT_EQ(chunk.sockets[0].family, AF_INET);
    EXPECT_EQ(chunk.sockets[0].port, 8000);
    EXPECT_EQ(chunk.sockets[0].inode, 111u);
    EXPECT_EQ(chunk.sockets[0].uid, 1000u);
    EXPECT_EQ(chunk.sockets[0].state, 10);
    EXPECT_EQ(SocketName::local(chunk.sockets[0]), "127.0.0.1:8000");
    EXPECT_EQ(SocketName::local(chunk.sockets[1]), "[::1]:5173");
}

TEST(NativeSockDiagParser, AMultipartReplyWithoutEndMarkerAsksForMore) {
    const auto chunk = SockDiagParser::parse(diagMessage(AF_INET, "0.0.0.0", 80, 10, 1), kSeq);
    EXPECT_FALSE(chunk.done);
    EXPECT_FALSE(chunk.malformed);
    EXPECT_EQ(chunk.sockets.size(), 1);
}

TEST(NativeSockDiagParser, ReportsKernelErrors) {
    // A refused request (for example a protocol the kernel does not serve).
    auto chunk = SockDiagParser::parse(message(NLMSG_ERROR, intPayload(-ENOENT), kSeq, 0), kSeq);
    EXPECT_EQ(chunk.error, ENOENT);
    // A dump that failed part-way reports its status in the end marker.
    chunk = SockDiagParser::parse(
        diagMessage(AF_INET, "0.0.0.0", 80, 10, 1) + message(NLMSG_DONE, intPayload(-ENOBUFS)),
        kSeq);
    EXPECT_TRUE(chunk.done);
    EXPECT_EQ(chunk.error, ENOBUFS);
    // An acknowledgement (error 0) is no error.
    chunk = SockDiagParser::parse(
        message(NLMSG_ERROR, intPayload(0), kSeq, 0) + message(NLMSG_DONE, intPayload(0)), kSeq);
    EXPECT_EQ(chunk.error, 0);
    EXPECT_TRUE(chunk.done);
    // The most negative status has no positive counterpart; it is still an
    // error, in either message.
    constexpr int kMin = std::numeric_limits<int>::min();
    chunk = SockDiagParser::parse(message(NLMSG_ERROR, intPayload(kMin), kSeq, 0), kSeq);
    EXPECT_GT(chunk.error, 0);
    chunk = SockDiagParser::parse(message(NLMSG_DONE, intPayload(kMin)), kSeq);
    EXPECT_TRUE(chunk.done);
    EXPECT_GT(chunk.error, 0);
}

TEST(NativeSockDiagParser, BrokenBuffersAreMalformedNotMisread) {
    const QByteArray good = diagMessage(AF_INET, "127.0.0.1", 8000, 10, 111);
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    QByteArray lyingLength = good;
    const quint32 tooLong = quint32(good.size() + 64);
    std::memcpy(lyingLength.data(), &tooLong, 4);
    QByteArray tooShortLength = good;
    const quint32 tiny = 4;
    std::memcpy(tooShortLength.data(), &tiny, 4);
    const Case cases[] = {
        {"cut inside the header", good.left(10)},
        {"cut inside the payload", good.left(good.size() - 20)},
        {"length past the buffer", lyingLength},
        {"length shorter than a header", tooShortLength},
        {"payload shorter than a socket", message(SOCK_DIAG_BY_FAMILY, QByteArray(12, '\0'))},
        {"error without its code", message(NLMSG_ERROR, QByteArray())},
        {"overrun", message(NLMSG_OVERRUN, QByteArray())},
    };
    for (const Case& c : cases) {
        const auto chunk = SockDiagParser::parse(c.bytes, kSeq);
        EXPECT_TRUE(chunk.malformed) << c.what;
        EXPECT_FALSE(chunk.done) << c.what;
    }
    // A good message before the break is still read.
    const auto chunk = SockDiagParser::parse(good + good.left(30), kSeq);
    EXPECT_TRUE(chunk.malformed);
    EXPECT_EQ(chunk.sockets.size(), 1);
}

TEST(NativeSockDiagParser, SkipsOtherSequencesAndUnpaddedTail) {
    QByteArray bytes = diagMessage(AF_INET, "127.0.0.1", 1, 10, 1, 0, kSeq + 1) +
                       diagMessage(AF_INET, "127.0.0.1", 2, 10, 2);
    // The last message of a buffer may come without its padding.
    bytes += message(NLMSG_DONE, QByteArray(2, '\0'), kSeq, NLM_F_MULTI, false);
    const auto chunk = SockDiagParser::parse(bytes, kSeq);
    EXPECT_TRUE(chunk.done);
    EXPECT_FALSE(chunk.malformed);
    ASSERT_EQ(chunk.sockets.size(), 1);
    EXPECT_EQ(chunk.sockets[0].port, 2);
}

TEST(NativeSockDiagParser, RequestCarriesAPortFilterProgram) {
    const QByteArray plain = SockDiagParser::request(AF_INET6, IPPROTO_TCP, 1u << 10, 9);
    ASSERT_EQ(plain.size(), qsizetype(NLMSG_LENGTH(sizeof(inet_diag_req_v2))));
    nlmsghdr header;
    std::memcpy(&header, plain.constData(), sizeof(header));
    EXPECT_EQ(header.nlmsg_len, quint32(plain.size()));
    EXPECT_EQ(header.nlmsg_type, SOCK_DIAG_BY_FAMILY);
    EXPECT_EQ(header.nlmsg_flags, NLM_F_REQUEST | NLM_F_DUMP);
    EXPECT_EQ(header.nlmsg_seq, 9u);
    inet_diag_req_v2 req;
    std::memcpy(&req, plain.constData() + NLMSG_HDRLEN, sizeof(req));
    EXPECT_EQ(req.sdiag_family, AF_INET6);
    EXPECT_EQ(req.sdiag_protocol, IPPROTO_TCP);
    EXPECT_EQ(req.idiag_states, 1u << 10);

    const QByteArray filtered = SockDiagParser::request(AF_INET, IPPROTO_UDP, ~0u, 9, 1010);
    std::memcpy(&header, filtered.constData(), sizeof(header));
    EXPECT_EQ(header.nlmsg_len, quint32(filtered.size()));
    const qsizetype at = NLMSG_LENGTH(sizeof(inet_diag_req_v2));
    nlattr attribute;
    std::memcpy(&attribute, filtered.constData() + at, sizeof(attribute));
    EXPECT_EQ(attribute.nla_type, INET_DIAG_REQ_BYTECODE);
    const QByteArray program = SockDiagParser::portFilter(1010);
    ASSERT_EQ(attribute.nla_len, NLA_HDRLEN + program.size());
    EXPECT_EQ(filtered.mid(at + NLA_HDRLEN, program.size()), program);

    const QByteArray legacy = SockDiagParser::tcpRequestBothFamilies(~0u, 10, 1010);
    std::memcpy(&header, legacy.constData(), sizeof(header));
    EXPECT_EQ(header.nlmsg_type, TCPDIAG_GETSOCK);
    EXPECT_EQ(header.nlmsg_len, quint32(legacy.size()));
    inet_diag_req old;
    std::memcpy(&old, legacy.constData() + NLMSG_HDRLEN, sizeof(old));
    EXPECT_EQ(old.idiag_family, AF_UNSPEC);
    EXPECT_EQ(old.idiag_states, ~0u);
    EXPECT_EQ(legacy.right(program.size()), program);
}

// The kernel's filter interpreter and checker (inet_diag_bc_run and
// inet_diag_bc_audit), reduced to the port instructions, so the program's
// meaning is tested here and not only its bytes.
bool kernelAccepts(const QByteArray& bytes) {
    const int total = int(bytes.size());
    auto op = [&](int at) {
        inet_diag_bc_op o;
        std::memcpy(&o, bytes.constData() + at, sizeof(o));
        return o;
    };
    auto reachable = [&](int cc) {  // valid_cc: cc must lie on the success path
        int len = total;
        int at = 0;
        while (len >= 0) {
            if (cc > len)
                return false;
            if (cc == len)
                return true;
            const auto o = op(at);
            if (o.yes < 4 || (o.yes & 3))
                return false;
            len -= o.yes;
            at += o.yes;
        }
        return false;
    };
    int len = total;
    int at = 0;
    while (len > 0) {
        const auto o = op(at);
        int minLength = int(sizeof(inet_diag_bc_op));
        if (o.code == INET_DIAG_BC_S_EQ || o.code == INET_DIAG_BC_D_EQ) {
            minLength += int(sizeof(inet_diag_bc_op));
            if (len < minLength)
                return false;
        } else if (o.code != INET_DIAG_BC_JMP && o.code != INET_DIAG_BC_NOP) {
            return false;
        }
        if (o.code != INET_DIAG_BC_NOP) {
            if (o.no < minLength || o.no > len + 4 || (o.no & 3))
                return false;
            if (o.no < len && !reachable(len - o.no))
                return false;
        }
        if (o.yes < minLength || o.yes > len + 4 || (o.yes & 3))
            return false;
        at += o.yes;
        len -= o.yes;
    }
    return len == 0;
}

bool kernelMatches(const QByteArray& bytes, quint16 local, quint16 remote) {
    int len = int(bytes.size());
    int at = 0;
    while (len > 0) {
        inet_diag_bc_op o;
        std::memcpy(&o, bytes.constData() + at, sizeof(o));
        bool yes = true;
        if (o.code == INET_DIAG_BC_JMP) {
            yes = false;
        } else if (o.code == INET_DIAG_BC_S_EQ || o.code == INET_DIAG_BC_D_EQ) {
            inet_diag_bc_op arg;
            std::memcpy(&arg, bytes.constData() + at + 4, sizeof(arg));
            yes = (o.code == INET_DIAG_BC_S_EQ ? local : remote) == arg.no;
        }
        const int step = yes ? o.yes : o.no;
        len -= step;
        at += step;
    }
    return len == 0;
}

TEST(NativeSockDiagParser, PortFilterPassesTheKernelCheckAndMatchesEitherEnd) {
    const QByteArray program = SockDiagParser::portFilter(1010);
    EXPECT_TRUE(kernelAccepts(program));
    EXPECT_TRUE(kernelMatches(program, 1010, 0));
    EXPECT_TRUE(kernelMatches(program, 51320, 1010));
    EXPECT_TRUE(kernelMatches(program, 1010, 1010));
    EXPECT_FALSE(kernelMatches(program, 1011, 0));
    EXPECT_FALSE(kernelMatches(program, 0, 1011));

    // The natural layout ("on a match jump to the end") is refused by the
    // kernel's checker: its failure target is off the success path.
    const inet_diag_bc_op refused[4] = {
        {INET_DIAG_BC_S_EQ, 16, 8}, {0, 0, 1010}, {INET_DIAG_BC_D_EQ, 8, 12}, {0, 0, 1010}};
    EXPECT_FALSE(kernelAccepts(QByteArray(reinterpret_cast<const char*>(refused), 16)));
}

// Recorded on x86-64 (little endian), the only byte order these fixtures fit.
const char kProcNetTcp[] =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
    "timeout inode\n"
    "   0: 00000000:07E8 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0     "
    "   0 1095 1 00000000944edd91 100 0 0 10 0\n"
    "   1: 0100007F:D049 0100007F:C878 06 00000000:00000000 03:0000036E 00000000     0     "
    "   0 0 3 0000000067c973d3\n"
    "   2: 0100007F:1F40 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000     "
    "   0 48213 1 0000000000000000 100 0 0 10 0\n"
    "   3: garbage\n"
    "   4: 0100007F:ZZZZ 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000 0 1\n";

const char kProcNetTcp6[] =
    "  sl  local_address                         remote_address                        st "
    "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
    "   0: 00000000000000000000000001000000:1435 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000     0        0 5001 1 0000000000000000 100 0 0 10 0\n"
    "   1: 0000000000000000FFFF00000100007F:AFC9 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000     0        0 5002 1 0000000000000000 100 0 0 10 0\n"
    "   2: 00000000000000000000000000000000:AFCA 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000     0        0 5003 1 0000000000000000 100 0 0 10 0\n"
    "   3: 000080FE00000000FF0BA2FE7B8A6EFE:0050 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000     0        0 5004 1 0000000000000000 100 0 0 10 0";

TEST(NativeProcNetParser, ReadsRecordedTables) {
    const auto v4 = ProcNetParser::parse(kProcNetTcp, AF_INET);
    ASSERT_EQ(v4.size(), 3);
    EXPECT_EQ(SocketName::local(v4[0]), "*:2024");
    EXPECT_EQ(v4[0].state, 0x0A);
    EXPECT_EQ(v4[0].inode, 1095u);
    EXPECT_EQ(SocketName::local(v4[1]), "127.0.0.1:53321");
    EXPECT_EQ(v4[1].remotePort, 51320);
    EXPECT_EQ(v4[1].state, 6);  // TIME_WAIT, no inode
    EXPECT_EQ(v4[1].inode, 0u);
    EXPECT_EQ(SocketName::local(v4[2]), "127.0.0.1:8000");
    EXPECT_EQ(v4[2].uid, 1000u);

    const auto v6 = ProcNetParser::parse(kProcNetTcp6, AF_INET6);
    ASSERT_EQ(v6.size(), 4);
    EXPECT_EQ(SocketName::local(v6[0]), "[::1]:5173");
    EXPECT_EQ(SocketName::local(v6[1]), "127.0.0.1:45001");
    EXPECT_EQ(SocketName::local(v6[2]), "*:45002");
    EXPECT_EQ(SocketName::local(v6[3]), "[fe80::fea2:bff:fe6e:8a7b]:80");
    EXPECT_EQ(v6[3].inode, 5004u);  // last line without a line end
}

TEST(NativeProcNetParser, WrongFamilyWidthGivesNothing) {
    EXPECT_TRUE(ProcNetParser::parse(kProcNetTcp, AF_INET6).isEmpty());
    EXPECT_TRUE(ProcNetParser::parse(kProcNetTcp6, AF_INET).isEmpty());
    EXPECT_TRUE(ProcNetParser::parse("", AF_INET).isEmpty());
}

InetSocket socketAt(int family, const char* address, quint16 port) {
    InetSocket s;
    s.family = family;
    inet_pton(family, address, s.address.data());
    s.port = port;
    return s;
}

TEST(NativeSocketName, MatchesLsofNames) {
    // Each expected text was checked against `lsof -nP -F n` on Linux.
    const struct {
        int family;
        const char* address;
        quint16 port;
        const char* name;
    } cases[] = {
        {AF_INET, "0.0.0.0", 3000, "*:3000"},
        {AF_INET, "127.0.0.1", 8000, "127.0.0.1:8000"},
        {AF_INET, "10.0.0.5", 8000, "10.0.0.5:8000"},
        {AF_INET6, "::", 45002, "*:45002"},
        {AF_INET6, "::1", 5173, "[::1]:5173"},
        {AF_INET6, "::ffff:127.0.0.1", 45001, "127.0.0.1:45001"},
        {AF_INET6, "::ffff:0.0.0.0", 45005, "*:45005"},
        {AF_INET6, "fd00:0:0:0:0:0:0:1", 80, "[fd00::1]:80"},
        {AF_INET6, "2001:db8::1:0:0:1", 443, "[2001:db8::1:0:0:1]:443"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SocketName::local(socketAt(c.family, c.address, c.port)), c.name) << c.address;
    }
}

TEST(NativeProcStatParser, ParentAndStartTimeWhateverTheName) {
    using Stat = ProcStatParser::ProcessStat;
    const auto line = [](const char* name) {
        return QByteArray("4312 (") + name +
               ") S 812 4312 812 34816 4312 4194304 1203 0 3 0 41 9 0 0 20 0 11 0 "
               "987654321 1223323648 12345 18446744073709551615 1 1 0 0 0 0 0 16781312\n";
    };
    const struct {
        QByteArray text;
        std::optional<Stat> expected;
    } cases[] = {
        {line("node"), Stat{812, 987654321}},
        {line("a) S 1 2 (b"), Stat{812, 987654321}},  // a name with parentheses and blanks
        {line(""), Stat{812, 987654321}},
        {"1 (systemd) S 0 1 1 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 2", Stat{0, 2}},
        {"4312 (node) S 812 4312 812", std::nullopt},  // cut short before the start time
        {"4312 node S 812", std::nullopt},
        {"4312 (node) S x 4312 812 34816 4312 4194304 1203 0 3 0 41 9 0 0 20 0 11 0 9",
         std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProcStatParser::parse(c.text), c.expected) << c.text.toStdString();
    }
}

TEST(NativeProcFs, SocketInodeFromDescriptorLinks) {
    EXPECT_EQ(ProcFs::socketInode("socket:[12345]"), 12345u);
    EXPECT_EQ(ProcFs::socketInode("socket:[4294967295]"), 4294967295u);
    for (const char* link : {"socket:[]", "socket:[12a]", "socket:[12", "pipe:[12345]", "/dev/null",
                             "socket:[4294967296]", "socket:[-1]", ""}) {
        EXPECT_EQ(ProcFs::socketInode(link), std::nullopt) << link;
    }
}

TEST(NativeProcFs, CommandLineAsPsPrintsIt) {
    const struct {
        QByteArray cmdline;
        const char* printed;
    } cases[] = {
        {QByteArray("python3\0-m\0http.server\0008000\0", 29), "python3 -m http.server 8000\n"},
        {QByteArray("node\0server.js", 14), "node server.js\n"},  // no final NUL
        {QByteArray("a\0\0x\0\0", 6), "a  x\n"},  // inner empty argument kept, trailing dropped
        {QByteArray("nginx: master process nginx"), "nginx: master process nginx\n"},
        {QByteArray("tab\tnew\nline\x7f", 13), "tab?new?line?\n"},
        {QByteArray("caf\xc3\xa9\0", 6), "caf\xc3\xa9\n"},
        {QByteArray(), "[kthreadd]\n"},
        {QByteArray("\0\0", 2), "[kthreadd]\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProcFs::formatCommandLine(c.cmdline, "kthreadd"), QString::fromUtf8(c.printed))
            << c.printed;
    }
    // A name the process gave itself cannot break the line either.
    EXPECT_EQ(ProcFs::formatCommandLine(QByteArray(), "two\nlines\x1b"), "[two?lines?]\n");
}

}  // namespace
}  // namespace varnholt
