// The machine's IPv4 TCP connection table, row by row, in the layout and state numbering the
// connection history was written for. Plain C++; safe to call from any thread, but each TcpTable
// object is meant for one caller at a time.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

// TCP states in the table's numbering (not Linux's): 2 is listening, 5 established.
enum TcpState : std::uint32_t {
    TcpClosed = 1,
    TcpListen = 2,
    TcpSynSent = 3,
    TcpSynReceived = 4,
    TcpEstablished = 5,
    TcpFinWait1 = 6,
    TcpFinWait2 = 7,
    TcpCloseWait = 8,
    TcpClosing = 9,
    TcpLastAck = 10,
    TcpTimeWait = 11,
    TcpDeleteTcb = 12,
};

// A set of states as bits (1 << state).
using TcpStateMask = std::uint32_t;
constexpr TcpStateMask tcpStateBit(TcpState state) {
    return TcpStateMask{1} << state;
}
constexpr TcpStateMask kAllTcpStates = 0x1ffe; // states 1 to 12
// Not a state: asks for the rows of IPv6 sockets too (those that are not IPv4-mapped). Without it
// a read gives the IPv4 table alone.
constexpr TcpStateMask kIpv6Rows = TcpStateMask{1} << 31;
// Not a state either: asks for each socket's counters (bytes, round trip), which costs the kernel
// and the read more than the addresses alone. Sources without them leave HasInfo false.
constexpr TcpStateMask kSocketInfo = TcpStateMask{1} << 30;

constexpr std::uint32_t kUnknownUid = 0xffffffffu;

using TcpIpv6Address = std::array<std::uint8_t, 16>; // network order

// One row. Addresses hold the four octets with the first octet (as on the wire) in the least
// significant byte; ports hold the port number in network byte order in the low 16 bits, i.e. with
// the port's high byte in the low byte.
struct TcpRow {
    std::uint32_t State = 0;
    std::uint32_t LocalAddr = 0;
    std::uint32_t LocalPort = 0;
    std::uint32_t RemoteAddr = 0;
    std::uint32_t RemotePort = 0;
    // An IPv6 row: the addresses are in LocalAddr6 and RemoteAddr6 (all zero without a remote
    // address), LocalAddr and RemoteAddr are 0. Ports as above.
    bool Ipv6 = false;
    TcpIpv6Address LocalAddr6{};
    TcpIpv6Address RemoteAddr6{};
    // The socket's owner and identity: the uid of the user who made it (kUnknownUid when the
    // source does not say) and its inode (0 when unknown), the key to the owning process.
    std::uint32_t Uid = kUnknownUid;
    std::uint64_t Inode = 0;
    // Its counters, with kSocketInfo: bytes sent (retransmissions counted once more), sequence
    // numbers the peer acknowledged (the SYN and FIN count one each), bytes received, the smoothed
    // round trip in microseconds.
    bool HasInfo = false;
    std::uint64_t BytesSent = 0;
    std::uint64_t BytesAcked = 0;
    std::uint64_t BytesReceived = 0;
    std::uint32_t RttUs = 0;

    friend bool operator==(const TcpRow&, const TcpRow&) = default;
};

// Packs four octets (first octet first) and a host-order port into a row's representation.
constexpr std::uint32_t tcpRowAddress(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return std::uint32_t{a} | std::uint32_t{b} << 8 | std::uint32_t{c} << 16 | std::uint32_t{d} << 24;
}
constexpr std::uint32_t tcpRowPort(std::uint16_t hostPort) {
    return static_cast<std::uint32_t>((hostPort & 0xff) << 8 | hostPort >> 8);
}

class TcpTable {
public:
    virtual ~TcpTable() = default;
    // Replaces rows with the IPv4 TCP sockets whose state is in `states`, sorted by local address,
    // local port, remote address, remote port (each compared as a number, first octet most
    // significant). IPv4-mapped sockets of dual-stack IPv6 sockets count as IPv4 rows. With
    // kIpv6Rows in `states` the IPv6 rows follow all IPv4 rows, sorted the same way on their
    // 16-byte addresses. Returns false, with rows empty, when the table cannot be read.
    virtual bool read(std::vector<TcpRow>& rows, TcpStateMask states = kAllTcpStates) = 0;
    // Whether the rows are this system's sockets, so that the system's reports of closing sockets
    // (TcpCloseWatch) belong with them. A table a test fills is not.
    virtual bool systemSockets() const { return false; }
};

// Linux: netlink sock_diag (what `ss` uses); /proc/net/tcp and tcp6 when sock_diag is unavailable.
// The table object owns its receive buffer, so whichever thread reads it uses that one.
std::unique_ptr<TcpTable> makeSystemTcpTable();

// One sock_diag message (the payload after the netlink header: inet_diag_msg and its attributes),
// from a dump or a destroy broadcast, as a row. The Linux state is left in linuxState (a
// destroyed socket reports TCP_CLOSE). False when the message is cut short or of another family.
bool parseSockDiagMessage(const char* payload, std::size_t length, TcpRow& row, unsigned& linuxState);

// The two sources, unsorted, for tests and benchmarks. readTcpTableNetlink returns false when the
// kernel does not answer the dump; readTcpTableProc reads `tcp` and `tcp6` in procNetDir.
bool readTcpTableNetlink(std::vector<TcpRow>& rows, TcpStateMask states);
bool readTcpTableProc(std::vector<TcpRow>& rows, TcpStateMask states,
                      const std::string& procNetDir = "/proc/net");

// Linux's TCP_* state number to the table's numbering; 0 for a number Linux does not define.
std::uint32_t tcpStateFromLinux(unsigned linuxState);

void sortTcpRows(std::vector<TcpRow>& rows);

} // namespace orvex
