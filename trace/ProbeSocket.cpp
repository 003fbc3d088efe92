#include "trace/ProbeSocket.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <random>

namespace orvex {

namespace {

constexpr std::uint8_t kEchoReply4 = 0, kUnreachable4 = 3, kEchoRequest4 = 8, kTimeExceeded4 = 11;
constexpr std::uint8_t kUnreachable6 = 1, kTimeExceeded6 = 3, kEchoRequest6 = 128, kEchoReply6 = 129;
constexpr std::uint8_t kPortUnreachable4 = 3, kPortUnreachable6 = 4;
constexpr int kIpv6HeaderLength = 40;
constexpr std::uint8_t kUdpMagic[2] = {'O', 'X'};

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

std::uint16_t checksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        sum += read16(bytes, i);
    if (bytes.size() % 2 != 0) sum += static_cast<std::uint32_t>(bytes.back()) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

int openSocket(int family, int type, int protocol) {
    return ::socket(family, type | SOCK_CLOEXEC | SOCK_NONBLOCK, protocol);
}

bool setInt(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

} // namespace

const char* probeMethodName(ProbeMethod method) {
    switch (method) {
    case ProbeMethod::Raw:
        return "ICMP (Raw-Socket)";
    case ProbeMethod::Datagram:
        return "ICMP (Datagramm-Socket)";
    case ProbeMethod::Udp:
        return "UDP";
    }
    return "";
}

ProbeSocket::ProbeSocket(const TraceTarget& target, ProbeMethod method, Fd socket, std::uint16_t identifier)
    : target_(target), method_(method), socket_(std::move(socket)), identifier_(identifier) {}

std::unique_ptr<ProbeSocket> ProbeSocket::open(const TraceTarget& target, std::optional<ProbeMethod> only,
                                               std::string& error) {
    const bool v6 = target.family == AF_INET6;
    const int icmp = v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    const int errLevel = v6 ? int(IPPROTO_IPV6) : int(IPPROTO_IP);
    const int errName = v6 ? IPV6_RECVERR : IP_RECVERR;
    int lastErrno = 0;
    for (ProbeMethod method : {ProbeMethod::Raw, ProbeMethod::Datagram, ProbeMethod::Udp}) {
        if (only && *only != method) continue;
        Fd fd;
        switch (method) {
        case ProbeMethod::Raw:
            fd.reset(openSocket(target.family, SOCK_RAW, icmp));
            break;
        case ProbeMethod::Datagram:
            fd.reset(openSocket(target.family, SOCK_DGRAM, icmp));
            break;
        case ProbeMethod::Udp:
            fd.reset(openSocket(target.family, SOCK_DGRAM, IPPROTO_UDP));
            break;
        }
        if (!fd.valid()) {
            lastErrno = errno;
            continue;
        }
        if (method == ProbeMethod::Raw) {
            // Only the three kinds of message a probe can get back reach the socket.
            if (v6) {
                icmp6_filter filter;
                ICMP6_FILTER_SETBLOCKALL(&filter);
                ICMP6_FILTER_SETPASS(kEchoReply6, &filter);
                ICMP6_FILTER_SETPASS(kTimeExceeded6, &filter);
                ICMP6_FILTER_SETPASS(kUnreachable6, &filter);
                ::setsockopt(fd.get(), IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
            } else {
                icmp_filter filter{~((1U << kEchoReply4) | (1U << kTimeExceeded4) | (1U << kUnreachable4))};
                ::setsockopt(fd.get(), SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
            }
        } else if (!setInt(fd.get(), errLevel, errName, 1)) {
            lastErrno = errno;
            continue;
        }
        std::random_device random;
        const auto identifier = static_cast<std::uint16_t>(random());
        return std::unique_ptr<ProbeSocket>(new ProbeSocket(target, method, std::move(fd), identifier));
    }
    error = std::string("kein Socket für die Route zu öffnen: ") + std::strerror(lastErrno);
    return nullptr;
}

bool ProbeSocket::send(int hops, std::uint16_t tag) {
    const bool v6 = target_.family == AF_INET6;
    if (hops != hops_) {
        if (!(v6 ? setInt(fd(), IPPROTO_IPV6, IPV6_UNICAST_HOPS, hops)
                 : setInt(fd(), IPPROTO_IP, IP_TTL, hops)))
            return false;
        hops_ = hops;
    }
    std::array<std::uint8_t, probe::kEchoLength> packet{};
    std::size_t length = packet.size();
    TraceTarget to = target_;
    if (method_ == ProbeMethod::Udp) {
        length = probe::kUdpPayloadLength;
        packet[0] = kUdpMagic[0];
        packet[1] = kUdpMagic[1];
        packet[2] = static_cast<std::uint8_t>(tag >> 8);
        packet[3] = static_cast<std::uint8_t>(tag);
        to = target_.withPort(probe::kUdpBasePort + tag % probe::kUdpPortSpan);
    } else {
        packet[0] = v6 ? kEchoRequest6 : kEchoRequest4;
        packet[4] = static_cast<std::uint8_t>(identifier_ >> 8);
        packet[5] = static_cast<std::uint8_t>(identifier_);
        packet[6] = static_cast<std::uint8_t>(tag >> 8);
        packet[7] = static_cast<std::uint8_t>(tag);
        for (std::size_t i = 8; i < packet.size(); ++i)
            packet[i] = static_cast<std::uint8_t>(i);
        // The kernel sums ICMPv6 itself (it needs the pseudo header) and datagram sockets too.
        if (!v6) {
            const std::uint16_t sum = checksum(packet);
            packet[2] = static_cast<std::uint8_t>(sum >> 8);
            packet[3] = static_cast<std::uint8_t>(sum);
        }
    }
    // An ICMP error that arrived for an earlier probe sits as the socket's pending error, and the
    // next send reports it instead of sending (the message itself stays on the error queue).
    // That send clears it; send again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t sent = ::sendto(fd(), packet.data(), length, 0, to.sockaddrPtr(), to.length);
        if (sent == static_cast<ssize_t>(length)) return true;
        if (sent >= 0 || method_ == ProbeMethod::Raw) return false;
        if (errno != EHOSTUNREACH && errno != ENETUNREACH && errno != ECONNREFUSED && errno != EHOSTDOWN &&
            errno != EPROTO && errno != EACCES && errno != EINTR)
            return false;
    }
    return false;
}

std::optional<ProbeAnswer> parseProbeMessage(const TraceTarget& target, ProbeMethod method,
                                             std::uint16_t identifier, std::span<const std::uint8_t> message,
                                             const std::string& from) {
    const bool v6 = target.family == AF_INET6;
    std::span<const std::uint8_t> icmp = message;
    if (method == ProbeMethod::Raw && !v6) {
        if (message.size() < 20) return std::nullopt;
        const std::size_t header = (message[0] & 0x0F) * 4u;
        if (header < 20 || message.size() < header + 8) return std::nullopt;
        icmp = message.subspan(header);
    }
    if (icmp.size() < 8) return std::nullopt;
    ProbeAnswer answer;
    answer.from = from;
    const std::uint8_t type = icmp[0];
    if (type == (v6 ? kEchoReply6 : kEchoReply4)) {
        // A datagram socket sees only its own replies, with the identifier the kernel chose.
        if (method == ProbeMethod::Raw && read16(icmp, 4) != identifier) return std::nullopt;
        if (from != target.text) return std::nullopt;
        answer.tag = read16(icmp, 6);
        answer.kind = ProbeAnswerKind::Reached;
        return answer;
    }
    // Errors reach a raw socket only; they quote our request after their own 8 bytes.
    if (method != ProbeMethod::Raw) return std::nullopt;
    if (type == (v6 ? kTimeExceeded6 : kTimeExceeded4))
        answer.kind = ProbeAnswerKind::HopExpired;
    else if (type == (v6 ? kUnreachable6 : kUnreachable4))
        answer.kind = ProbeAnswerKind::Unreachable;
    else
        return std::nullopt;
    std::span<const std::uint8_t> quoted = icmp.subspan(8);
    std::size_t inner = 0;
    if (v6) {
        if (quoted.size() < kIpv6HeaderLength + 8 || quoted[6] != IPPROTO_ICMPV6) return std::nullopt;
        inner = kIpv6HeaderLength;
    } else {
        if (quoted.size() < 20 || quoted[9] != IPPROTO_ICMP) return std::nullopt;
        inner = (quoted[0] & 0x0F) * 4u;
        if (inner < 20 || quoted.size() < inner + 8) return std::nullopt;
    }
    const std::span<const std::uint8_t> request = quoted.subspan(inner);
    if (request[0] != (v6 ? kEchoRequest6 : kEchoRequest4) || read16(request, 4) != identifier)
        return std::nullopt;
    answer.tag = read16(request, 6);
    return answer;
}

void ProbeSocket::drain(std::vector<ProbeAnswer>& answers) {
    if (method_ != ProbeMethod::Raw) drainErrors(answers);
    std::array<std::uint8_t, 2048> buffer;
    for (int errors = 0; errors < 64;) {
        sockaddr_storage source{};
        socklen_t sourceLength = sizeof source;
        const ssize_t n = ::recvfrom(fd(), buffer.data(), buffer.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&source), &sourceLength);
        if (n < 0) {
            // A UDP or datagram socket reports a queued error as a failed read: take the queue.
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK && method_ != ProbeMethod::Raw) {
                ++errors;
                drainErrors(answers);
                continue;
            }
            return;
        }
        if (method_ == ProbeMethod::Udp) continue; // a service on the port answered: no tag to match
        const auto at = std::chrono::steady_clock::now();
        if (auto answer =
                parseProbeMessage(target_, method_, identifier_, {buffer.data(), static_cast<std::size_t>(n)},
                                  addressText(reinterpret_cast<sockaddr*>(&source)))) {
            answer->at = at;
            answers.push_back(*answer);
        }
    }
}

void ProbeSocket::drainErrors(std::vector<ProbeAnswer>& answers) {
    const bool v6 = target_.family == AF_INET6;
    for (;;) {
        std::array<std::uint8_t, 512> data;
        alignas(cmsghdr) std::array<char, 512> control;
        sockaddr_storage original{};
        iovec part{data.data(), data.size()};
        msghdr message{};
        message.msg_name = &original;
        message.msg_namelen = sizeof original;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t n = ::recvmsg(fd(), &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        const auto at = std::chrono::steady_clock::now();
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            const bool isError = v6 ? (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_RECVERR)
                                    : (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR);
            if (!isError || c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err))) continue;
            sock_extended_err error{};
            std::memcpy(&error, CMSG_DATA(c), sizeof error);
            if (error.ee_origin != (v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP)) continue;
            // The offender's address follows the record in the same control message.
            sockaddr_storage offender{};
            const std::size_t room = c->cmsg_len - CMSG_LEN(sizeof error);
            std::memcpy(&offender, CMSG_DATA(c) + sizeof error, std::min(room, sizeof offender));
            ProbeAnswer answer;
            answer.at = at;
            answer.from = addressText(reinterpret_cast<sockaddr*>(&offender));
            const std::span<const std::uint8_t> sent(data.data(), static_cast<std::size_t>(n));
            if (method_ == ProbeMethod::Udp) {
                if (sent.size() < 4 || sent[0] != kUdpMagic[0] || sent[1] != kUdpMagic[1]) continue;
                answer.tag = read16(sent, 2);
            } else {
                if (sent.size() < 8) continue;
                answer.tag = read16(sent, 6);
            }
            if (error.ee_type == (v6 ? kTimeExceeded6 : kTimeExceeded4)) {
                answer.kind = ProbeAnswerKind::HopExpired;
            } else if (error.ee_type == (v6 ? kUnreachable6 : kUnreachable4)) {
                const bool portUnreachable = error.ee_code == (v6 ? kPortUnreachable6 : kPortUnreachable4);
                answer.kind = method_ == ProbeMethod::Udp && portUnreachable && answer.from == target_.text
                                  ? ProbeAnswerKind::Reached
                                  : ProbeAnswerKind::Unreachable;
            } else {
                continue;
            }
            answers.push_back(answer);
        }
    }
}

} // namespace orvex
