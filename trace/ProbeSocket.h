// One socket that sends route-trace probes with a chosen hop limit and reads what comes back:
// time-exceeded messages from the routers on the way, the target's answer, and unreachable
// messages. Three ways, chosen by what the process may open:
//   Raw       ICMP echo over a raw socket (root or CAP_NET_RAW); every ICMP message arrives and
//             is matched by the identifier and sequence it quotes.
//   Datagram  ICMP echo over an unprivileged ICMP datagram socket (net.ipv4.ping_group_range);
//             the routers' messages come from the socket's error queue (IP_RECVERR /
//             IPV6_RECVERR), the router's address in SO_EE_OFFENDER.
//   Udp       UDP datagrams to high ports, the error queue as above; the target answers with
//             "port unreachable". Needs no permission at all.
// Each probe carries a 16-bit tag (the echo sequence number, or the first bytes of the UDP
// payload) by which its answer is found. Plain C++; one thread at a time.
#pragma once

#include "platform/Fd.h"
#include "trace/TraceTarget.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvex {

enum class ProbeMethod { Raw, Datagram, Udp };

// "ICMP (Raw-Socket)", "ICMP (Datagramm-Socket)", "UDP"
const char* probeMethodName(ProbeMethod method);

enum class ProbeAnswerKind {
    HopExpired,  // a router on the way: time exceeded
    Reached,     // the target: echo reply (ICMP) or port unreachable from the target (UDP)
    Unreachable, // destination unreachable from a router (or the target, for ICMP)
};

struct ProbeAnswer {
    std::uint16_t tag = 0;
    ProbeAnswerKind kind = ProbeAnswerKind::HopExpired;
    std::string from; // the answering address as numbers
    std::chrono::steady_clock::time_point at;
};

class ProbeSocket {
public:
    // The first method this process may use for target, in the order Raw, Datagram, Udp; with
    // `only`, that method or nothing. nullptr and error set when none can be opened.
    static std::unique_ptr<ProbeSocket> open(const TraceTarget& target, std::optional<ProbeMethod> only,
                                             std::string& error);

    ProbeMethod method() const { return method_; }
    const TraceTarget& target() const { return target_; }
    int fd() const { return socket_.get(); }
    // Sends one probe with hop limit hops carrying tag. False (errno set) when the send failed.
    bool send(int hops, std::uint16_t tag);
    // Reads everything waiting on the socket without blocking and appends the answers to probes of
    // this socket; everything else (other programs' pings, foreign messages) is skipped.
    void drain(std::vector<ProbeAnswer>& answers);

private:
    ProbeSocket(const TraceTarget& target, ProbeMethod method, Fd socket, std::uint16_t identifier);
    void drainErrors(std::vector<ProbeAnswer>& answers);

    TraceTarget target_;
    ProbeMethod method_;
    Fd socket_;
    std::uint16_t identifier_; // echo identifier of raw probes (the kernel picks it for datagram ones)
    int hops_ = -1;            // hop limit set on the socket now
};

// Examines one message as a probe socket of method for target reads it (raw IPv4: with the IP
// header; raw IPv6 and datagram: the ICMP message), from the address `from`; the answer to one of
// our probes (raw: carrying identifier), or nullopt. Never reads beyond message.
std::optional<ProbeAnswer> parseProbeMessage(const TraceTarget& target, ProbeMethod method,
                                             std::uint16_t identifier, std::span<const std::uint8_t> message,
                                             const std::string& from);

// Probe layout constants, beside the code that writes them.
namespace probe {
inline constexpr int kEchoLength = 64;       // ICMP echo: 8-byte header + 56 bytes, as ping sends
inline constexpr int kUdpPayloadLength = 32; // "OX", tag (2 bytes, network order), zeros
inline constexpr int kUdpBasePort = 33434;   // the traceroute ports
inline constexpr int kUdpPortSpan = 1024;    // port = base + tag % span
} // namespace probe

} // namespace orvex
