// ICMPv6 echo for the ping box: one exchange per call with an IPv6 target, reported through the
// ICMP client's own sequence number, timeout, record and OnReply event, so the box, its lines and
// its numbering work as for IPv4. Same request bytes as the IPv4 client (type 128 instead of 8).
//
// Linux: a raw ICMPv6 socket when the process may open one, otherwise an unprivileged ICMPv6
// datagram socket (net.ipv4.ping_group_range). Both deliver the ICMPv6 message without IPv6 header;
// the hop limit comes as IPV6_HOPLIMIT control data. The datagram socket reports ICMPv6 errors on
// its error queue; they are rebuilt into the error message a raw socket reads. A record's
// ByteCount is the 40-byte IPv6 header plus the ICMPv6 message, its Ttl the hop limit received.
//
// One object per caller thread; the socket lives for one exchange.
#pragma once

#include "net/TNxIcmpClient.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <netinet/in.h>

namespace orvex {

namespace echo6 {
inline constexpr std::uint8_t kEchoRequest = 128;
inline constexpr std::uint8_t kEchoReply = 129;
inline constexpr std::uint8_t kDestinationUnreachable = 1;
inline constexpr std::uint8_t kTimeExceeded = 3;
inline constexpr int kIpv6HeaderLength = 40;
inline constexpr int kErrorHeaderLength = 8; // type, code, checksum, 4 unused bytes
inline constexpr std::uint8_t kNextHeaderIcmpv6 = 58;
} // namespace echo6

// The IPv6 target of an IPv6 address text (compressed or full, optionally in brackets, optionally
// with "%zone"); nullopt for every other text. Asks no resolver.
std::optional<sockaddr_in6> Ipv6EchoTarget(const std::string& host);

// The first IPv6 address of a name that has IPv6 addresses and no IPv4 address, asked through
// SharedStack (which must exist); nullopt otherwise, also when the name cannot be resolved.
std::optional<sockaddr_in6> Ipv6OnlyNameTarget(const std::string& host);

class TNxIcmp6Echo {
public:
    // One exchange with target, as TNxIcmpClient::ExchangeEcho runs one: the request carries
    // client.NextSequence and client.ProcessId's identifier and goes out with client.OutgoingTtl
    // as hop limit; the wait lasts client.ReceiveTimeout ms; client.LastReply gets the record and
    // client.OnReply is called; NextSequence advances. A socket failure raises ENxInvalidSocket or
    // ENxSocketError and changes none of the client's fields.
    void ExchangeEcho(TNxIcmpClient& client, const sockaddr_in6& target, const std::string& payload = {});

    // One exchange of a ping run for host, with the IPv4 client or as above. The first call decides
    // for the object's lifetime: an IPv6 address text goes to ICMPv6; any other host goes to the
    // IPv4 client, and only when its lookup finds no IPv4 address (11001, 11004) is the name asked
    // for IPv6 addresses; with one, this and every later exchange use ICMPv6. An IPv4 host thus
    // costs no lookup beyond the IPv4 client's own. Raises what the exchange used raises; a name
    // with neither kind of address raises the IPv4 client's lookup error.
    void RunExchange(TNxIcmpClient& client, const std::string& host);

    // The request a message must answer: identifier none when the kernel already sorted the
    // messages by identifier (a datagram socket's own), target none to take any address.
    struct Match {
        std::optional<std::uint16_t> identifier;
        std::uint16_t sequence = 0;
        std::optional<in6_addr> target;
    };

    // Examines one ICMPv6 message (no IPv6 header) that came from sender. True when it answers
    // the request: an echo reply from the target with its sequence number (and identifier), or a
    // destination unreachable or time exceeded message, from anyone, that quotes the request (an
    // IPv6 header to the target, then the echo request). The record then holds ByteCount 40 +
    // message size, the type, the sequence, hopLimit as Ttl and the sender as source. Only bytes of
    // the span are read; nothing raises.
    static bool ParseIncoming(std::span<const std::uint8_t> message, const Match& request, int hopLimit,
                              const in6_addr& sender, TReplyStatus& status);

private:
    int OpenSocket(const TNxIcmpClient& client);
    // One message or queued error, rebuilt as a raw socket reads it, into buffer; its length, 0
    // when nothing was waiting, -1 (errno set) on failure.
    int ReadMessage(int socket, std::uint8_t* buffer, int size, const sockaddr_in6& target, int outgoingHops,
                    int& hopLimit, in6_addr& sender);

    bool datagram_ = false;
    bool rawRefused_ = false;
    bool decided_ = false;               // RunExchange has chosen the family
    std::optional<sockaddr_in6> target_; // RunExchange's IPv6 target; none for IPv4
};

} // namespace orvex
