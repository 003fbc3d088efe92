#include "platform/TcpTable.h"

#include "platform/Fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <tuple>

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace orvex {

namespace {

using Octets = std::array<std::uint8_t, 16>;

constexpr std::size_t kNetlinkHeaderLength = NLMSG_ALIGN(sizeof(nlmsghdr));

constexpr unsigned kLinuxStateCount = 13; // TCP_ESTABLISHED (1) .. TCP_NEW_SYN_RECV (12)

// Linux TCP_* -> the table's numbering. A request socket (TCP_NEW_SYN_RECV) is a half-open
// connection, which the table calls "syn_rcvd".
constexpr std::array<std::uint32_t, kLinuxStateCount> kStateFromLinux = {
    0,              // 0: not a state
    TcpEstablished, // TCP_ESTABLISHED
    TcpSynSent,     // TCP_SYN_SENT
    TcpSynReceived, // TCP_SYN_RECV
    TcpFinWait1,    // TCP_FIN_WAIT1
    TcpFinWait2,    // TCP_FIN_WAIT2
    TcpTimeWait,    // TCP_TIME_WAIT
    TcpClosed,      // TCP_CLOSE
    TcpCloseWait,   // TCP_CLOSE_WAIT
    TcpLastAck,     // TCP_LAST_ACK
    TcpListen,      // TCP_LISTEN
    TcpClosing,     // TCP_CLOSING
    TcpSynReceived, // TCP_NEW_SYN_RECV
};

std::uint32_t linuxStatesFor(TcpStateMask states) {
    std::uint32_t mask = 0;
    for (unsigned s = 1; s < kLinuxStateCount; ++s)
        if (states & (TcpStateMask{1} << kStateFromLinux[s])) mask |= 1u << s;
    return mask;
}

std::uint32_t packIPv4(const std::uint8_t* octets) {
    return tcpRowAddress(octets[0], octets[1], octets[2], octets[3]);
}

bool isAllZero(const Octets& a) {
    return std::all_of(a.begin(), a.end(), [](std::uint8_t b) { return b == 0; });
}

bool isIPv4Mapped(const Octets& a) {
    return std::all_of(a.begin(), a.begin() + 10, [](std::uint8_t b) { return b == 0; }) && a[10] == 0xff &&
           a[11] == 0xff;
}

// Turns one socket into a row; false when it is not in a wanted state, or an IPv6 socket that is not
// IPv4-mapped while IPv6 rows are not asked for.
bool makeRow(int family, const Octets& local, std::uint16_t localPort, const Octets& remote,
             std::uint16_t remotePort, unsigned linuxState, TcpStateMask states, TcpRow& row) {
    if (linuxState >= kLinuxStateCount) return false;
    row.State = kStateFromLinux[linuxState];
    if (row.State == 0 || !(states & (TcpStateMask{1} << row.State))) return false;
    if (family == AF_INET) {
        row.LocalAddr = packIPv4(local.data());
        row.RemoteAddr = packIPv4(remote.data());
    } else if (!isIPv4Mapped(local)) {
        if (!(states & kIpv6Rows)) return false;
        row.Ipv6 = true;
        row.LocalAddr = row.RemoteAddr = 0;
        row.LocalAddr6 = local;
        row.RemoteAddr6 = remote;
    } else {
        // A dual-stack socket talking IPv4 carries ::ffff:a.b.c.d addresses; a listener bound to a
        // mapped address has no remote address yet.
        if (!(isIPv4Mapped(remote) || isAllZero(remote))) return false;
        row.LocalAddr = packIPv4(local.data() + 12);
        row.RemoteAddr = isAllZero(remote) ? 0 : packIPv4(remote.data() + 12);
    }
    row.LocalPort = tcpRowPort(localPort);
    row.RemotePort = tcpRowPort(remotePort);
    return true;
}

// What one sock_diag message says about its socket.
struct DiagSocket {
    int family = 0;
    Octets local{}, remote{};
    std::uint16_t localPort = 0, remotePort = 0;
    unsigned state = 0;
    std::uint32_t uid = kUnknownUid;
    std::uint64_t inode = 0;
    bool hasInfo = false;
    std::uint64_t bytesSent = 0, bytesAcked = 0, bytesReceived = 0;
    std::uint32_t rttUs = 0;
};

// The fields of tcp_info we read, at their offsets in the kernel's structure. A kernel may send a
// shorter structure (older) or a longer one (newer); a field past the end stays unknown.
constexpr std::size_t kRttOffset = offsetof(tcp_info, tcpi_rtt);
constexpr std::size_t kBytesAckedOffset = offsetof(tcp_info, tcpi_bytes_acked);
constexpr std::size_t kBytesReceivedOffset = offsetof(tcp_info, tcpi_bytes_received);
constexpr std::size_t kBytesSentOffset = offsetof(tcp_info, tcpi_bytes_sent);

bool parseDiag(const char* payload, std::size_t length, DiagSocket& out) {
    if (length < sizeof(inet_diag_msg)) return false;
    inet_diag_msg diag;
    std::memcpy(&diag, payload, sizeof diag);
    if (diag.idiag_family != AF_INET && diag.idiag_family != AF_INET6) return false;
    out = DiagSocket{};
    out.family = diag.idiag_family;
    std::memcpy(out.local.data(), diag.id.idiag_src, out.local.size());
    std::memcpy(out.remote.data(), diag.id.idiag_dst, out.remote.size());
    out.localPort = ntohs(diag.id.idiag_sport);
    out.remotePort = ntohs(diag.id.idiag_dport);
    out.state = diag.idiag_state;
    // A destroy broadcast leaves uid and inode 0; inode 0 marks a socket without them.
    if (diag.idiag_inode != 0) {
        out.uid = diag.idiag_uid;
        out.inode = diag.idiag_inode;
    }
    // The attributes, each a 4-byte aligned (length, type) header and its data.
    std::size_t offset = NLMSG_ALIGN(sizeof(inet_diag_msg));
    while (offset + sizeof(rtattr) <= length) {
        rtattr attribute;
        std::memcpy(&attribute, payload + offset, sizeof attribute);
        if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > length - offset) break;
        const char* data = payload + offset + RTA_ALIGN(sizeof(rtattr));
        const std::size_t size = attribute.rta_len - RTA_ALIGN(sizeof(rtattr));
        if ((attribute.rta_type & NLA_TYPE_MASK) == INET_DIAG_INFO && size >= kRttOffset + 4) {
            out.hasInfo = true;
            std::memcpy(&out.rttUs, data + kRttOffset, 4);
            if (size >= kBytesReceivedOffset + 8) {
                std::memcpy(&out.bytesAcked, data + kBytesAckedOffset, 8);
                std::memcpy(&out.bytesReceived, data + kBytesReceivedOffset, 8);
                // Before Linux 4.19 only the acknowledged count: less the SYN, it is what was sent.
                out.bytesSent = out.bytesAcked > 0 ? out.bytesAcked - 1 : 0;
            }
            if (size >= kBytesSentOffset + 8) std::memcpy(&out.bytesSent, data + kBytesSentOffset, 8);
        }
        offset += RTA_ALIGN(attribute.rta_len);
    }
    return true;
}

bool rowFromDiag(const DiagSocket& socket, TcpStateMask states, TcpRow& row) {
    if (!makeRow(socket.family, socket.local, socket.localPort, socket.remote, socket.remotePort,
                 socket.state, states, row))
        return false;
    row.Uid = socket.uid;
    row.Inode = socket.inode;
    row.HasInfo = socket.hasInfo;
    row.BytesSent = socket.bytesSent;
    row.BytesAcked = socket.bytesAcked;
    row.BytesReceived = socket.bytesReceived;
    row.RttUs = socket.rttUs;
    return true;
}

// One sock_diag dump of a family. Returns false when the kernel refuses it (no sock_diag).
bool dumpFamily(int sock, std::uint8_t family, std::uint32_t linuxStates, TcpStateMask states,
                std::vector<char>& buffer, std::vector<TcpRow>& rows) {
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = family;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = linuxStates;
    if (states & kSocketInfo) message.request.idiag_ext = 1u << (INET_DIAG_INFO - 1);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(sock, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) !=
        static_cast<ssize_t>(sizeof message))
        return false;

    for (;;) {
        const ssize_t got = ::recv(sock, buffer.data(), buffer.size(), MSG_TRUNC);
        if (got < 0 && errno == EINTR) continue;
        // A cut datagram would lose rows without a trace: treat it as a failed read.
        if (got <= 0 || static_cast<std::size_t>(got) > buffer.size()) return false;
        // Walked by hand: the NLMSG_* macros use C casts.
        std::size_t offset = 0;
        const auto length = static_cast<std::size_t>(got);
        while (offset + sizeof(nlmsghdr) <= length) {
            nlmsghdr header;
            std::memcpy(&header, buffer.data() + offset, sizeof header);
            if (header.nlmsg_len < sizeof(nlmsghdr) || offset + header.nlmsg_len > length) break;
            const char* payload = buffer.data() + offset + kNetlinkHeaderLength;
            const std::size_t payloadLength =
                header.nlmsg_len - std::min<std::size_t>(header.nlmsg_len, kNetlinkHeaderLength);
            offset += NLMSG_ALIGN(header.nlmsg_len);
            if (header.nlmsg_type == NLMSG_DONE) return true;
            if (header.nlmsg_type == NLMSG_ERROR) return false;
            if (header.nlmsg_type != SOCK_DIAG_BY_FAMILY) continue;
            DiagSocket socket;
            TcpRow row;
            if (parseDiag(payload, payloadLength, socket) && rowFromDiag(socket, states, row))
                rows.push_back(row);
        }
    }
}

// "0100007F:0277" (tcp) or 32 hex digits and a port (tcp6). The kernel prints each 32-bit word of
// the address as a native integer, so its memory order is the address's byte order.
bool parseProcAddress(const char* text, int family, Octets& address, std::uint16_t& port) {
    const unsigned words = family == AF_INET ? 1 : 4;
    address.fill(0);
    for (unsigned w = 0; w < words; ++w) {
        char hex[9] = {};
        std::memcpy(hex, text + 8 * w, 8);
        if (std::strlen(hex) != 8) return false;
        char* end = nullptr;
        const auto word = static_cast<std::uint32_t>(std::strtoul(hex, &end, 16));
        if (*end != '\0') return false;
        std::memcpy(address.data() + 4 * w, &word, 4);
    }
    text += 8 * words;
    if (*text != ':') return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text + 1, &end, 16);
    if (end == text + 1 || value > 0xffff) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool readProcFile(const std::string& path, int family, TcpStateMask states, std::vector<TcpRow>& rows) {
    std::ifstream file(path);
    if (!file) return false;
    std::string line;
    std::getline(file, line); // column titles
    char local[64], remote[64];
    unsigned state = 0;
    while (std::getline(file, line)) {
        unsigned uid = kUnknownUid;
        unsigned long long inode = 0;
        const int fields = std::sscanf(line.c_str(), " %*[^:]: %63s %63s %x %*s %*s %*s %u %*d %llu", local,
                                       remote, &state, &uid, &inode);
        if (fields < 3) continue;
        Octets localAddress, remoteAddress;
        std::uint16_t localPort = 0, remotePort = 0;
        if (!parseProcAddress(local, family, localAddress, localPort) ||
            !parseProcAddress(remote, family, remoteAddress, remotePort))
            continue;
        TcpRow row;
        if (!makeRow(family, localAddress, localPort, remoteAddress, remotePort, state, states, row))
            continue;
        if (fields == 5 && inode != 0) {
            row.Uid = uid;
            row.Inode = inode;
        }
        rows.push_back(row);
    }
    return true;
}

// The kernel fills at most 32 KiB per read of a dump; twice that leaves room to spare.
constexpr std::size_t kDumpBufferSize = 65536;

bool readNetlink(std::vector<TcpRow>& rows, TcpStateMask states, std::vector<char>& buffer) {
    rows.clear();
    Fd sock(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (!sock.valid()) return false;
    const std::uint32_t linuxStates = linuxStatesFor(states);
    if (!dumpFamily(sock.get(), AF_INET, linuxStates, states, buffer, rows) ||
        !dumpFamily(sock.get(), AF_INET6, linuxStates, states, buffer, rows)) {
        rows.clear();
        return false;
    }
    return true;
}

class LinuxTcpTable final : public TcpTable {
public:
    bool read(std::vector<TcpRow>& rows, TcpStateMask states) override {
        // Without sock_diag (module missing, seccomp) the text table still works, only slower.
        const bool ok = readNetlink(rows, states, buffer_) || readTcpTableProc(rows, states);
        if (!ok) rows.clear();
        sortTcpRows(rows);
        return ok;
    }
    bool systemSockets() const override { return true; }

private:
    std::vector<char> buffer_ = std::vector<char>(kDumpBufferSize);
};

} // namespace

std::uint32_t tcpStateFromLinux(unsigned linuxState) {
    return linuxState < kLinuxStateCount ? kStateFromLinux[linuxState] : 0;
}

bool readTcpTableNetlink(std::vector<TcpRow>& rows, TcpStateMask states) {
    std::vector<char> buffer(kDumpBufferSize);
    return readNetlink(rows, states, buffer);
}

bool parseSockDiagMessage(const char* payload, std::size_t length, TcpRow& row, unsigned& linuxState) {
    DiagSocket socket;
    if (!parseDiag(payload, length, socket)) return false;
    linuxState = socket.state;
    // Any state: a destroyed socket reports TCP_CLOSE, "closed" in the table's numbering.
    return rowFromDiag(socket, kAllTcpStates | kIpv6Rows, row);
}

bool readTcpTableProc(std::vector<TcpRow>& rows, TcpStateMask states, const std::string& procNetDir) {
    rows.clear();
    if (!readProcFile(procNetDir + "/tcp", AF_INET, states, rows)) return false;
    readProcFile(procNetDir + "/tcp6", AF_INET6, states, rows); // absent without IPv6: no mapped rows
    return true;
}

void sortTcpRows(std::vector<TcpRow>& rows) {
    // The rows are large (owner and counters); sorting small keys with the row's index and moving
    // each row once costs a fraction of moving rows through the sort. The index also keeps rows
    // with equal keys in their order, as a stable sort would.
    auto port = [](std::uint32_t p) { return std::uint64_t{(p & 0xff) << 8 | (p >> 8 & 0xff)}; };
    struct Key {
        std::uint64_t local, remote; // IPv4: address (first octet most significant) and port
        std::uint32_t index;
        bool ipv6;
    };
    std::vector<Key> keys;
    keys.reserve(rows.size());
    for (std::uint32_t i = 0; i < rows.size(); ++i) {
        const TcpRow& r = rows[i];
        keys.push_back({std::uint64_t{__builtin_bswap32(r.LocalAddr)} << 16 | port(r.LocalPort),
                        std::uint64_t{__builtin_bswap32(r.RemoteAddr)} << 16 | port(r.RemotePort), i,
                        r.Ipv6});
    }
    // IPv6 rows after every IPv4 row; their addresses compare bytewise, which is numeric order.
    auto key6 = [&](const TcpRow& r) {
        return std::make_tuple(std::cref(r.LocalAddr6), port(r.LocalPort), std::cref(r.RemoteAddr6),
                               port(r.RemotePort));
    };
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.ipv6 != b.ipv6) return b.ipv6;
        if (a.ipv6) {
            const auto ka = key6(rows[a.index]), kb = key6(rows[b.index]);
            return ka < kb || (!(kb < ka) && a.index < b.index);
        }
        return std::tie(a.local, a.remote, a.index) < std::tie(b.local, b.remote, b.index);
    });
    std::vector<TcpRow> sorted;
    sorted.reserve(rows.size());
    for (const Key& key : keys)
        sorted.push_back(rows[key.index]);
    rows.swap(sorted);
}

std::unique_ptr<TcpTable> makeSystemTcpTable() {
    return std::make_unique<LinuxTcpTable>();
}

} // namespace orvex
