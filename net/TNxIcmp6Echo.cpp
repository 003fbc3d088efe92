#include "net/TNxIcmp6Echo.h"

#include "net/TNxComponent.h"
#include "platform/Fd.h"
#include "platform/Ipv6Text.h"
#include "platform/Ticks.h"
#include "platform/WinsockErrors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <strings.h>

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/icmp6.h>
#include <poll.h>
#include <sys/socket.h>

namespace orvex {

namespace {

std::uint16_t readLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

[[noreturn]] void throwSocketError(int err) {
    const int code = errnoToWinsock(err);
    throw ENxSocketError(SocketErrorMessage(code, SocketErrorDescription(code)), code);
}

void setOption(int socket, int level, int option, int value) {
    if (::setsockopt(socket, level, option, &value, sizeof value) != 0) throwSocketError(errno);
}

} // namespace

std::optional<sockaddr_in6> Ipv6EchoTarget(const std::string& host) {
    std::string text = host;
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
    if (text.find(':') == std::string::npos) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* list = nullptr;
    if (::getaddrinfo(text.c_str(), nullptr, &hints, &list) != 0) return std::nullopt;
    std::optional<sockaddr_in6> address;
    if (list && list->ai_addrlen >= sizeof(sockaddr_in6)) {
        address.emplace();
        std::memcpy(&*address, list->ai_addr, sizeof(sockaddr_in6));
    }
    ::freeaddrinfo(list);
    return address;
}

std::optional<sockaddr_in6> Ipv6OnlyNameTarget(const std::string& host) {
    if (::strcasecmp(host.c_str(), "LOCALHOST") == 0 || TNxStack::IsDottedQuad(host)) return std::nullopt;
    const std::string text = SharedStack->HostByNameIpv6Only(host);
    return text.empty() ? std::nullopt : Ipv6EchoTarget(text);
}

void TNxIcmp6Echo::RunExchange(TNxIcmpClient& client, const std::string& host) {
    if (!decided_) {
        decided_ = true;
        target_ = Ipv6EchoTarget(host);
        if (!target_) {
            try {
                client.ExchangeEcho();
                return;
            } catch (const ENxSocketError& error) {
                // The lookup fails before a socket is opened; sequence, record and event are untouched.
                constexpr int kHostNotFound = 11001, kNoData = 11004;
                if (error.SocketCode != kHostNotFound && error.SocketCode != kNoData) throw;
                target_ = Ipv6OnlyNameTarget(host);
                if (!target_) throw;
            }
        }
    }
    if (target_)
        ExchangeEcho(client, *target_);
    else
        client.ExchangeEcho();
}

int TNxIcmp6Echo::OpenSocket(const TNxIcmpClient& client) {
    Fd socket;
    if (!rawRefused_) {
        socket.reset(::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6));
        // Capabilities do not come back during a run: the datagram socket from now on.
        if (!socket.valid()) rawRefused_ = true;
    }
    datagram_ = !socket.valid();
    if (datagram_) {
        socket.reset(::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMPV6));
        if (!socket.valid()) throw ENxInvalidSocket(nxtext::kInvalidSocket);
    }
    const int s = socket.get();
    setOption(s, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 1);
    setOption(s, IPPROTO_IPV6, IPV6_UNICAST_HOPS, client.OutgoingTtl);
    if (datagram_) {
        setOption(s, IPPROTO_IPV6, IPV6_RECVERR, 1);
        // The kernel copies the socket's port, as it lies in memory, into the identifier field:
        // bound to the identifier's bytes (least significant first) it sends the bytes the raw
        // socket would. When another socket holds that identifier the kernel's choice serves as well.
        const std::uint32_t id = client.ProcessId & 0xFFFF;
        const std::uint8_t idBytes[2] = {static_cast<std::uint8_t>(id & 0xFF),
                                         static_cast<std::uint8_t>(id >> 8)};
        sockaddr_in6 local{};
        local.sin6_family = AF_INET6;
        std::memcpy(&local.sin6_port, idBytes, sizeof idBytes);
        if (id != 0) ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    } else {
        // Only the messages that can answer: the raw socket would otherwise hear every ICMPv6
        // message of the machine, its own echo requests on loopback among them.
        icmp6_filter filter{};
        std::fill(std::begin(filter.icmp6_filt), std::end(filter.icmp6_filt), 0xFFFFFFFFu);
        for (unsigned type : {echo6::kEchoReply, echo6::kDestinationUnreachable, echo6::kTimeExceeded})
            filter.icmp6_filt[type >> 5] &= ~(1u << (type & 31));
        if (::setsockopt(s, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) != 0)
            throwSocketError(errno);
    }
    return socket.release();
}

bool TNxIcmp6Echo::ParseIncoming(std::span<const std::uint8_t> message, const Match& request, int hopLimit,
                                 const in6_addr& sender, TReplyStatus& status) {
    if (message.size() < 8) return false;
    const auto isTarget = [&](const std::uint8_t* address) {
        return !request.target || std::memcmp(address, &*request.target, 16) == 0;
    };
    const std::uint8_t type = message[0];
    std::size_t answered = 0; // where the echo header that is answered starts
    switch (type) {
    case echo6::kEchoReply:
        status.Outcome = TReplyOutcome::roEchoReply;
        if (!isTarget(reinterpret_cast<const std::uint8_t*>(&sender))) return false;
        break;
    case echo6::kDestinationUnreachable:
    case echo6::kTimeExceeded: {
        status.Outcome =
            type == echo6::kTimeExceeded ? TReplyOutcome::roTtlExpired : TReplyOutcome::roUnreachable;
        answered = echo6::kErrorHeaderLength + echo6::kIpv6HeaderLength;
        // The embedded packet must be our echo request to the target, its ICMPv6 header right after
        // the IPv6 one.
        const std::uint8_t* inner = message.data() + echo6::kErrorHeaderLength;
        if (message.size() < answered + 8 || inner[6] != echo6::kNextHeaderIcmpv6 || !isTarget(inner + 24) ||
            message[answered] != echo6::kEchoRequest)
            return false;
        break;
    }
    default: // an echo request, ours on loopback included, is never the answer
        return false;
    }
    if (readLe16(&message[answered + 6]) != request.sequence) return false;
    if (request.identifier && readLe16(&message[answered + 4]) != *request.identifier) return false;
    status.ByteCount = echo6::kIpv6HeaderLength + static_cast<std::int32_t>(message.size());
    status.SourceAddress = ipv6Text(sender);
    status.IcmpType = type;
    status.Sequence = request.sequence;
    status.Ttl = static_cast<std::uint8_t>(std::clamp(hopLimit, 0, 255));
    return true;
}

int TNxIcmp6Echo::ReadMessage(int socket, std::uint8_t* buffer, int size, const sockaddr_in6& target,
                              int outgoingHops, int& hopLimit, in6_addr& sender) {
    constexpr int kRebuilt = echo6::kErrorHeaderLength + echo6::kIpv6HeaderLength;
    sockaddr_in6 from{};
    alignas(cmsghdr) std::array<std::uint8_t, 512> control{};
    // A queued error's data is the request it concerns: read it behind the room for the headers
    // that rebuild the error message around it.
    for (const int flags : {int(MSG_ERRQUEUE), 0}) {
        if (flags == MSG_ERRQUEUE && !datagram_) continue;
        std::uint8_t* data = flags == MSG_ERRQUEUE ? buffer + kRebuilt : buffer;
        iovec part{data, static_cast<std::size_t>(flags == MSG_ERRQUEUE ? size - kRebuilt : size)};
        msghdr header{};
        header.msg_name = &from;
        header.msg_namelen = sizeof from;
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control.data();
        header.msg_controllen = control.size();
        const ssize_t received = ::recvmsg(socket, &header, flags | MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return -1;
        }
        // A datagram cut by the buffer is not an answer to a 52-byte request.
        if (header.msg_flags & MSG_TRUNC) return 0;
        hopLimit = 0;
        const sock_extended_err* error = nullptr;
        sock_extended_err errorCopy{};
        sockaddr_in6 offender{};
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level != IPPROTO_IPV6) continue;
            if (c->cmsg_type == IPV6_HOPLIMIT && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
                std::memcpy(&hopLimit, CMSG_DATA(c), sizeof(int));
            } else if (c->cmsg_type == IPV6_RECVERR && c->cmsg_len >= CMSG_LEN(sizeof errorCopy)) {
                std::memcpy(&errorCopy, CMSG_DATA(c), sizeof errorCopy);
                error = &errorCopy;
                if (c->cmsg_len >= CMSG_LEN(sizeof errorCopy + sizeof offender))
                    std::memcpy(&offender, CMSG_DATA(c) + sizeof errorCopy, sizeof offender);
            }
        }
        if (flags == 0) {
            sender = from.sin6_addr;
            return static_cast<int>(received);
        }
        // Errors raised on this machine (no ICMPv6 message behind them) answer nothing.
        if (!error || error->ee_origin != SO_EE_ORIGIN_ICMP6) return 0;
        sender = offender.sin6_addr;
        std::fill_n(buffer, kRebuilt, 0);
        buffer[0] = error->ee_type;
        buffer[1] = error->ee_code;
        std::uint8_t* inner = buffer + echo6::kErrorHeaderLength;
        inner[0] = 0x60; // version 6
        inner[4] = static_cast<std::uint8_t>(received >> 8);
        inner[5] = static_cast<std::uint8_t>(received & 0xFF);
        inner[6] = echo6::kNextHeaderIcmpv6;
        inner[7] = static_cast<std::uint8_t>(outgoingHops);
        std::memcpy(inner + 24, &target.sin6_addr, 16);
        return kRebuilt + static_cast<int>(received);
    }
    return 0;
}

void TNxIcmp6Echo::ExchangeEcho(TNxIcmpClient& client, const sockaddr_in6& target,
                                const std::string& payload) {
    const std::uint16_t sequence = client.NextSequence;
    const std::uint16_t identifier = static_cast<std::uint16_t>(client.ProcessId & 0xFFFF);
    std::array<std::uint8_t, echo::kRequestLength> request;
    WriteEchoRequest(request, echo6::kEchoRequest, identifier, sequence, tickCount(), payload);
    // The kernel fills in the ICMPv6 checksum, which covers the IPv6 addresses.

    const Fd socket(OpenSocket(client));
    const std::uint32_t t0 = tickCount();
    if (::sendto(socket.get(), request.data(), request.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0)
        throwSocketError(errno);

    TReplyStatus status{};
    std::array<std::uint8_t, echo::kBufferSize> buffer{};
    bool answered = false;
    for (;;) {
        const std::int64_t remaining =
            static_cast<std::int64_t>(client.ReceiveTimeout) - TicksBetween(t0, tickCount());
        if (remaining <= 0) break;
        pollfd wait{socket.get(), POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(remaining));
        if (ready < 0 && errno != EINTR) throwSocketError(errno);
        if (ready <= 0) continue;
        int hopLimit = 0;
        in6_addr sender{};
        const int received = ReadMessage(socket.get(), buffer.data(), static_cast<int>(buffer.size()), target,
                                         client.OutgoingTtl, hopLimit, sender);
        if (received < 0) throwSocketError(errno);
        // A datagram socket only ever gets the answers to its own identifier (the kernel's choice).
        const Match answering{datagram_ ? std::nullopt : std::optional(identifier), sequence,
                              target.sin6_addr};
        if (received > 0 && ParseIncoming(std::span(buffer.data(), static_cast<std::size_t>(received)),
                                          answering, hopLimit, sender, status)) {
            answered = true;
            break;
        }
    }
    if (!answered) {
        status = TReplyStatus{};
        status.SourceAddress = "::";
        status.Sequence = sequence;
        status.Outcome = TReplyOutcome::roTimedOut;
    }
    status.RoundTripMs = TicksBetween(t0, tickCount());
    client.LastReply = status;
    if (client.OnReply) client.OnReply(client, client.LastReply);
    ++client.NextSequence;
}

} // namespace orvex
