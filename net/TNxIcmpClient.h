// The ICMP echo client: one echo exchange per ExchangeEcho call, blocking the calling thread until
// the answer, the timeout or an error. Owned by one window and called from its thread only; the
// buffers are members, so one exchange runs at a time.
//
// Linux: a raw ICMP socket when the process may open one (root or CAP_NET_RAW); otherwise an
// unprivileged ICMP datagram socket (net.ipv4.ping_group_range). Datagram sockets deliver the ICMP
// message without IP header; the client puts a 20-byte header in front (time-to-live and source as
// received), so both kinds are examined by the same rules. Only when neither socket can be had does
// the exchange raise ENxInvalidSocket.
//
// Cost per exchange: a fresh socket and a fresh name resolution each time, each socket option set
// once on the new socket (the raw socket passes only echo replies, unreachable and time-exceeded
// messages), the time-to-live sent with the request rather than set on the socket, a receive that
// does not wait before the wait (an answer from a near host is usually queued by then), and no
// shutdown on the socket that always fails.
#pragma once

#include "net/TNxComponent.h"
#include "net/TNxSocketHandle.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvex {

class ENxIcmpException : public ENxException {
public:
    using ENxException::ENxException;
};

namespace nxtext {
inline constexpr const char* kNotEnoughBytes = "Es wurden nicht genügend Bytes empfangen";
inline constexpr const char* kNonEchoReply = "Nicht-Echo-Antwort empfangen";
} // namespace nxtext

enum class TReplyOutcome : std::uint8_t {
    roEchoReply = 0,
    roFailed = 1, // while a datagram is examined; never in a delivered record
    roTimedOut = 2,
    roUnreachable = 3,
    roTtlExpired = 4,
};

struct TReplyStatus {
    std::int32_t ByteCount = 0; // bytes of the accepted datagram, IP header included; 0 on timeout
    std::string SourceAddress;  // sender from the IP header; "0.0.0.0" on timeout
    std::uint8_t IcmpType = 0;  // type of the accepted message; 0 on timeout
    std::uint16_t Sequence = 0; // sequence number found; on timeout the request's
    std::uint32_t RoundTripMs = 0;
    std::uint8_t Ttl = 0; // time-to-live of the received IP header; 0 on timeout
    TReplyOutcome Outcome = TReplyOutcome::roEchoReply;
};

// Holds the socket and the target; opens the socket lazily.
class TNxRawBase : public TNxComponent {
public:
    TNxRawBase();

    TNxSocketHandle RawSocket;
    std::string Host; // host name, dotted IPv4 address or "LOCALHOST"
    int Port = 0;
    int ReceiveTimeout = 0;
    int Protocol = 255;
    int OutgoingTtl = 128;
    int BufferSize = 8192;

protected:
    std::vector<std::uint8_t> Buffer;
};

class TNxRawClient : public TNxRawBase {};

class TNxIcmpClient;
using TOnReplyEvent = std::function<void(TNxIcmpClient& ASender, const TReplyStatus& AReplyStatus)>;

// Layout of the echo request.
namespace echo {
inline constexpr int kRequestLength = 52;
inline constexpr int kTypeOffset = 0;
inline constexpr int kCodeOffset = 1;
inline constexpr int kChecksumOffset = 2;
inline constexpr int kIdentifierOffset = 4;
inline constexpr int kSequenceOffset = 6;
inline constexpr int kOriginateTimeOffset = 8;
inline constexpr int kPayloadOffset = 20;
inline constexpr int kPayloadLength = 32;
inline constexpr std::uint8_t kPadding = 'E';
inline constexpr std::uint8_t kEchoRequest = 8;
inline constexpr std::uint8_t kEchoReply = 0;
inline constexpr std::uint8_t kDestinationUnreachable = 3;
inline constexpr std::uint8_t kTimeExceeded = 11;
inline constexpr int kBufferSize = 1024;
inline constexpr int kIpHeaderLength = 20;
inline constexpr int kFirstSequence = 3489;
} // namespace echo

// Lays out an echo request of kRequestLength bytes for either ICMP family: type, code 0, checksum
// 0, then identifier, sequence number and tick count least significant byte first, and the
// payload's first kPayloadLength bytes padded with kPadding.
void WriteEchoRequest(std::span<std::uint8_t, echo::kRequestLength> request, std::uint8_t type,
                      std::uint16_t identifier, std::uint16_t sequence, std::uint32_t ticks,
                      const std::string& payload);

// The request a datagram must answer. identifier: none when the kernel has already sorted the
// datagrams by identifier (a datagram socket's own); target: none when no request was sent yet.
struct EchoMatch {
    std::optional<std::uint16_t> identifier;
    std::uint16_t sequence = 0;
    std::optional<std::array<std::uint8_t, 4>> target;
};

class TNxIcmpClient : public TNxRawClient {
public:
    TNxIcmpClient();

    // One exchange: build, send, wait up to ReceiveTimeout ms, close the socket, report to OnReply,
    // advance NextSequence. On an exception the socket stays open for the next exchange,
    // NextSequence stays, LastReply keeps the previous result and OnReply is not called.
    void ExchangeEcho(const std::string& payload = {}, std::uint16_t sequenceOverride = 0);

    TOnReplyEvent OnReply;
    std::uint16_t NextSequence = echo::kFirstSequence;
    TReplyStatus LastReply{};
    std::array<std::uint8_t, echo::kBufferSize> IncomingBuffer{};
    std::array<std::uint8_t, echo::kBufferSize> RequestBuffer{};
    int RequestLength = 0;

    // The steps of an exchange, public so that they can be driven one by one.
    void BuildEchoRequest(const std::string& payload);
    // Examines the datagram of byteCount bytes in IncomingBuffer (0: nothing arrived) with
    // ExamineDatagram against the current request (Request()). True when it answers it; the
    // record is then filled.
    bool ParseIncoming(int byteCount, TReplyStatus& status);
    // Reads datagrams until one answers the request or timeoutMs has passed; a timed-out wait
    // leaves the timeout record. A datagram cut by the buffer is skipped: no answer to a 52-byte
    // request is that long, and a forged one must not end the run.
    void AwaitReply(int timeoutMs, TReplyStatus& status);
    // What a datagram must carry to answer the request with NextSequence: the raw socket hears
    // every ICMP message of the machine, other programs' and other instances' answers included.
    EchoMatch Request() const;
    // Whether the socket in use is an unprivileged datagram socket.
    bool UsesDatagramSocket() const { return datagram_; }

    // Overrides the process id whose low 16 bits identify the requests (tests).
    std::uint32_t ProcessId;

private:
    TNxSocketHandle& OpenRawSocket();
    void TransmitRequest();
    void SendDatagram(const std::string& host, int port, const void* buffer, int length);
    // A byte count, 0 when nothing arrived in time, -1 on error. A datagram longer than size sets
    // cut and returns size, its first bytes in buffer.
    int ReadDatagram(std::uint8_t* buffer, int size, int timeoutMs, bool& cut);
    // One receive with flags (MSG_DONTWAIT: -1 with code 10035 when nothing is queued).
    int ReceiveOne(std::uint8_t* buffer, int size, int flags, bool& cut);
    void PassOnlyAnswerTypes();
    void PrepareDatagramSocket();
    int ReadWithIpHeader(std::uint8_t* buffer, int size, int flags, bool& cut);
    int ComposeErrorMessage(std::uint8_t* buffer, int size, int originalLength, const TNxDatagramInfo& info);

    bool datagram_ = false;
    bool rawRefused_ = false;
    std::string target_;        // resolved address of the last send
    std::uint32_t builtAt_ = 0; // tick count written into the last request
};

// Reads one received datagram (IPv4 header first, exactly the bytes received) into the record.
// True when it answers the request: an echo reply from the target carrying its identifier and
// sequence number, or a destination-unreachable (3) or time-exceeded (11) message, from anyone,
// that quotes the request (an IPv4 header to the target, then an echo request with its identifier
// and sequence number). An echo request (type 8) is never the answer: on loopback a raw socket hears
// its own request before the reply. Anything else is skipped, also a datagram too short for what it
// claims to be, so that no datagram from anyone ends a run. A skipped datagram leaves its kind in
// Outcome (roFailed for a foreign type or a short one) and no other field. Only bytes of the span
// are read.
bool ExamineDatagram(std::span<const std::uint8_t> datagram, const EchoMatch& request, TReplyStatus& status);

// RFC 1071 checksum of bytes (even length), least significant byte first as stored in the request.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes);

// later - earlier on the wrapping 32-bit millisecond counter.
std::uint32_t TicksBetween(std::uint32_t earlier, std::uint32_t later);

} // namespace orvex
