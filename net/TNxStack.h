// The socket stack: one object per process (TNxComponent keeps it as SharedStack) that creates
// sockets, resolves host names, converts IPv4 addresses, waits on sockets and turns the platform's
// error codes (Windows Sockets numbers) into ENxSocketError with German texts.
//
// TNxStack holds what does not depend on the platform; TNxStackLinux (TNxStackLinux.h) implements
// the platform operations over BSD sockets. Only IPv4 is handled.
//
// Conventions shared by every operation:
// - A platform operation reports failure by -1 (socket creation: kInvalidSocket); the code is then
//   read with PlatformErrorCode.
// - Timeouts are milliseconds: -2 waits without limit, 0 does not wait.
// - Ports are host-order integers; addresses are dotted-decimal byte strings.
// - Sockets stay in blocking mode.
//
// Thread: lookups, ping runs and web queries call the stack from worker threads, an abandoned one
// beside the next. The platform code is the calling thread's; each raised error carries the code
// of its own thread's failure. LastCode is the last code any thread kept.
#pragma once

#include "net/NxExceptions.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

using TNxSocket = int;
inline constexpr TNxSocket kInvalidSocket = -1; // all bits set

// Address family, socket types and levels as the platform numbers them.
inline constexpr int kAfInet = 2;
inline constexpr int kSockStream = 1;
inline constexpr int kSockDgram = 2;
inline constexpr int kSockRaw = 3;

// Windows Sockets codes callers test for.
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAHOST_NOT_FOUND_CODE = 11001;

// A socket list for WaitSockets; holds at most kMaxWaitSockets.
using TNxSocketList = std::vector<TNxSocket>;
inline constexpr std::size_t kMaxWaitSockets = 64;

// What a datagram receive learned besides the bytes.
struct TNxDatagramInfo {
    std::string SourceAddress; // dotted sender address
    int Ttl = -1;              // time-to-live of the received IP header, -1 when not reported
    // An ICMP error the platform reported for an earlier send instead of data: SourceAddress is
    // the reporting host, the buffer holds the start of the datagram that caused it.
    bool IcmpError = false;
    std::uint8_t IcmpType = 0;
    std::uint8_t IcmpCode = 0;
    std::string ErrorDestination; // for an ICMP error: where the datagram that caused it went
    bool ErrorCut = false;        // for an ICMP error: the datagram was longer than the buffer
};

class TNxStack {
public:
    TNxStack() = default;
    TNxStack(const TNxStack&) = delete;
    TNxStack& operator=(const TNxStack&) = delete;
    virtual ~TNxStack() = default;

    // Platform operations. Each returns the platform's result (-1 on failure) unless noted.
    virtual int StackBind(TNxSocket socket, int family, int port, const std::string& localAddress) = 0;
    virtual int StackClose(TNxSocket socket) = 0;
    virtual int StackConnect(TNxSocket socket, int family, int port, const std::string& address) = 0;
    // As StackConnect, giving up after timeoutMs (above 0) with code 10060; 0 or less is StackConnect
    // itself. This base waits as long as StackConnect does.
    virtual int StackConnectWithin(TNxSocket socket, int family, int port, const std::string& address,
                                   int timeoutMs) {
        (void)timeoutMs;
        return StackConnect(socket, family, port, address);
    }
    // Dotted text of the first address for the name; a failure raises ENxSocketError (11001
    // "Host nicht gefunden.", 11002, 11003, 11004).
    virtual std::string HostByName(const std::string& host) = 0;
    // The first IPv6 address (compressed, "%zone" for a scoped one) of a name that has IPv6
    // addresses and no IPv4 address; empty otherwise, also when the name cannot be resolved.
    // Never raises. A stack without IPv6 has none.
    virtual std::string HostByNameIpv6Only(const std::string& host) {
        (void)host;
        return {};
    }
    // A datagram longer than length fails with code 10040, its first length bytes in buffer.
    virtual int StackReceive(TNxSocket socket, void* buffer, int length, int flags) = 0;
    // Waits until a socket of a list is ready; rewrites each given list to its ready sockets.
    // Absent lists are nullptr. A list of more than 64 sockets raises ENxStackSetSizeExceeded.
    // Returns the number of ready sockets (a socket counts once per list it is ready in), 0 on
    // timeout, -1 on failure (raises nothing).
    virtual int WaitSockets(TNxSocketList* readList, TNxSocketList* writeList, TNxSocketList* errorList,
                            int timeoutMs) = 0;
    virtual int StackSend(TNxSocket socket, const void* buffer, int length, int flags) = 0;
    // ttl: the time-to-live of this datagram alone (1 to 255); -1 sends with the socket's own.
    virtual int StackSendTo(TNxSocket socket, const void* buffer, int length, int flags,
                            const std::string& address, int port, int ttl) = 0;
    virtual int StackSetOption(TNxSocket socket, int level, int option, const void* value, int length) = 0;
    virtual TNxSocket StackSocket(int family, int type, int protocol) = 0;
    virtual int StackShutdown(TNxSocket socket, int how) = 0;
    // "Socket-Fehler # <code>" + "\r\n" + the code's description (empty for unknown codes).
    virtual std::string DescribeError(int code);
    // Code of the last failed platform operation on this thread.
    virtual int PlatformErrorCode() = 0;
    // Raise through CheckResult on failure.
    virtual void PeerName(TNxSocket socket, int& family, std::string& address, int& port) = 0;
    virtual void LocalName(TNxSocket socket, int& family, std::string& address, int& port) = 0;
    // Like StackReceive, and reports the sender and the received time-to-live (for datagram
    // sockets that deliver no IP header).
    virtual int StackReceiveDatagram(TNxSocket socket, void* buffer, int length, int flags,
                                     TNxDatagramInfo& info) = 0;

    // Platform-independent helpers.
    static std::string AddressToText(const std::array<std::uint8_t, 4>& bytes);
    // Parts split as in IsDottedQuad, each read as an integer (EConvertError when it is none),
    // low 8 bits taken. An empty text gives 0.0.0.0.
    static std::array<std::uint8_t, 4> TextToAddress(std::string_view text);
    static bool IsDottedQuad(std::string_view text);

    // False when result is not -1 (no code is read). Otherwise stores the platform code in LastCode
    // and returns true when it is tolerated, else raises ENxSocketError for it.
    bool CheckResult(int result, std::span<const int> tolerated);
    bool CheckResult(int result, std::initializer_list<int> tolerated = {}) {
        return CheckResult(result, std::span<const int>(tolerated.begin(), tolerated.size()));
    }
    [[noreturn]] void ThrowSocketError(int code);
    // socket(AF_INET, type, protocol); failure raises ENxInvalidSocket.
    TNxSocket NewSocket(int type, int protocol);
    // "LOCALHOST" in any case -> "127.0.0.1"; a dotted quad unchanged; else HostByName.
    std::string LookupAddress(const std::string& host);

    std::atomic<int> LastCode{0};
};

// The description of a Windows Sockets code; empty when the table has none.
std::string SocketErrorDescription(int code);

// The message DescribeError builds.
std::string SocketErrorMessage(int code, const std::string& description);

// "%d" and "%s" filled in order, for the fixed message texts.
std::string FormatNx(std::string_view pattern, std::initializer_list<std::string> values);

} // namespace orvex
