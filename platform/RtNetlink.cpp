#include "platform/RtNetlink.h"

#include "platform/Fd.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace orvex::rtnetlink {

namespace {

// Lengths of the fixed parts, as the kernel lays them out. Everything is read with memcpy, so no
// received byte is ever accessed through a misaligned or over-long struct.
constexpr std::size_t kHeaderSize = sizeof(nlmsghdr);
constexpr std::size_t kAttributeHeaderSize = sizeof(rtattr);
constexpr std::size_t kNexthopHeaderSize = sizeof(rtnexthop);
constexpr std::size_t kReceiveBufferSize = 64 * 1024;
constexpr int kDumpAttempts = 3;
constexpr time_t kReceiveTimeoutSeconds = 2;

constexpr std::size_t align4(std::size_t length) {
    return (length + 3) & ~std::size_t(3);
}

template <class T> bool readAt(std::span<const std::uint8_t> bytes, std::size_t offset, T& out) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

// Calls visit(type, payload) for each attribute in `bytes`; stops at the first one that does not fit.
template <class Visit> void forEachAttribute(std::span<const std::uint8_t> bytes, Visit visit) {
    std::size_t offset = 0;
    rtattr attribute{};
    while (readAt(bytes, offset, attribute)) {
        const std::size_t length = attribute.rta_len;
        if (length < kAttributeHeaderSize || length > bytes.size() - offset) return;
        visit(attribute.rta_type & NLA_TYPE_MASK,
              bytes.subspan(offset + kAttributeHeaderSize, length - kAttributeHeaderSize));
        offset += align4(length);
    }
}

// The attributes that follow a message's fixed part of `fixedSize` bytes; empty if they do not fit.
std::span<const std::uint8_t> attributesAfter(Message message, std::size_t fixedSize) {
    const std::size_t start = kHeaderSize + align4(fixedSize);
    if (message.size() < start) return {};
    return message.subspan(start);
}

bool headerOf(Message message, std::uint16_t wantedType, nlmsghdr& header) {
    if (!readAt(message, 0, header)) return false;
    return header.nlmsg_type == wantedType && header.nlmsg_len == message.size();
}

std::optional<Ipv4Address> ipv4Of(std::span<const std::uint8_t> payload) {
    if (payload.size() != 4) return std::nullopt;
    Ipv4Address address{};
    std::memcpy(address.data(), payload.data(), 4);
    return address;
}

std::optional<Ipv6Address> ipv6Of(std::span<const std::uint8_t> payload) {
    if (payload.size() != 16) return std::nullopt;
    Ipv6Address address{};
    std::memcpy(address.data(), payload.data(), 16);
    return address;
}

std::optional<unsigned> u32Of(std::span<const std::uint8_t> payload) {
    std::uint32_t value = 0;
    if (payload.size() != sizeof value) return std::nullopt;
    std::memcpy(&value, payload.data(), sizeof value);
    return value;
}

// The kernel's error code carried by NLMSG_ERROR and, on newer kernels, NLMSG_DONE (negated errno).
int carriedError(Message message) {
    int error = 0;
    if (!readAt(message, kHeaderSize, error)) return 0;
    return error < 0 ? -error : error;
}

template <class T> std::span<const std::uint8_t> bytesOf(const T& value) {
    return {reinterpret_cast<const std::uint8_t*>(&value), sizeof value};
}

std::uint32_t nextSequence() {
    static std::atomic<std::uint32_t> sequence{1};
    return sequence.fetch_add(1, std::memory_order_relaxed);
}

template <class Record, class Parse>
bool dump(std::uint16_t type, std::span<const std::uint8_t> body, Parse parse, std::vector<Record>& out) {
    for (int attempt = 0; attempt < kDumpAttempts; ++attempt) {
        std::vector<Bytes> answers;
        const int error = exchange(type, NLM_F_DUMP, body, answers);
        // A dump that the kernel marks as interrupted by a concurrent change is read again.
        if (error == EAGAIN) continue;
        if (error != 0) return false;
        out.clear();
        for (const Bytes& answer : answers)
            if (auto record = parse(Message(answer))) out.push_back(std::move(*record));
        return true;
    }
    return false;
}

} // namespace

std::vector<Message> splitMessages(std::span<const std::uint8_t> datagram) {
    std::vector<Message> messages;
    std::size_t offset = 0;
    nlmsghdr header{};
    while (readAt(datagram, offset, header)) {
        const std::size_t length = header.nlmsg_len;
        if (length < kHeaderSize || length > datagram.size() - offset) break;
        messages.push_back(datagram.subspan(offset, length));
        offset += align4(length);
    }
    return messages;
}

std::optional<LinkRecord> parseLink(Message message) {
    nlmsghdr header{};
    ifinfomsg info{};
    if (!headerOf(message, RTM_NEWLINK, header) || !readAt(message, kHeaderSize, info)) return std::nullopt;
    LinkRecord link;
    link.index = unsigned(info.ifi_index);
    link.flags = info.ifi_flags;
    forEachAttribute(attributesAfter(message, sizeof info), [&](unsigned type, auto payload) {
        if (type == IFLA_ADDRESS) {
            link.hardwareAddress.assign(payload.begin(), payload.end());
        } else if (type == IFLA_IFNAME) {
            const auto* text = reinterpret_cast<const char*>(payload.data());
            link.name.assign(text, strnlen(text, payload.size()));
        }
    });
    return link;
}

std::optional<AddressRecord> parseAddress(Message message) {
    nlmsghdr header{};
    ifaddrmsg info{};
    if (!headerOf(message, RTM_NEWADDR, header) || !readAt(message, kHeaderSize, info)) return std::nullopt;
    if (info.ifa_family != AF_INET) return std::nullopt;
    std::optional<Ipv4Address> local, address;
    forEachAttribute(attributesAfter(message, sizeof info), [&](unsigned type, auto payload) {
        if (type == IFA_LOCAL) local = ipv4Of(payload);
        if (type == IFA_ADDRESS) address = ipv4Of(payload);
    });
    // On a point-to-point link IFA_ADDRESS is the peer; the own address is IFA_LOCAL.
    const std::optional<Ipv4Address> own = local ? local : address;
    if (!own) return std::nullopt;
    return AddressRecord{unsigned(info.ifa_index), *own};
}

namespace {

// Both families share the layout; only the gateway's length differs.
std::optional<RouteRecord> parseRouteOf(Message message, unsigned family) {
    nlmsghdr header{};
    rtmsg info{};
    if (!headerOf(message, RTM_NEWROUTE, header) || !readAt(message, kHeaderSize, info)) return std::nullopt;
    if (info.rtm_family != family) return std::nullopt;
    RouteRecord route;
    route.family = family;
    route.table = info.rtm_table;
    route.prefixLength = info.rtm_dst_len;
    route.type = info.rtm_type;
    auto readGateway = [family](Nexthop& hop, std::span<const std::uint8_t> payload) {
        if (family == AF_INET)
            hop.gateway = ipv4Of(payload);
        else
            hop.gateway6 = ipv6Of(payload);
    };
    Nexthop single;
    bool multipath = false;
    forEachAttribute(attributesAfter(message, sizeof info), [&](unsigned type, auto payload) {
        if (type == RTA_TABLE) {
            if (auto table = u32Of(payload)) route.table = *table;
        } else if (type == RTA_OIF) {
            if (auto index = u32Of(payload)) single.index = *index;
        } else if (type == RTA_GATEWAY) {
            readGateway(single, payload);
        } else if (type == RTA_MULTIPATH) {
            multipath = true;
            std::size_t offset = 0;
            rtnexthop hop{};
            while (readAt(payload, offset, hop)) {
                const std::size_t length = hop.rtnh_len;
                if (length < kNexthopHeaderSize || length > payload.size() - offset) break;
                Nexthop nexthop;
                nexthop.index = unsigned(hop.rtnh_ifindex);
                forEachAttribute(payload.subspan(offset + kNexthopHeaderSize, length - kNexthopHeaderSize),
                                 [&](unsigned nestedType, auto nested) {
                                     if (nestedType == RTA_GATEWAY) readGateway(nexthop, nested);
                                 });
                route.nexthops.push_back(nexthop);
                offset += align4(length);
            }
        }
    });
    if (!multipath) route.nexthops.push_back(single);
    return route;
}

} // namespace

std::optional<RouteRecord> parseRoute(Message message) {
    return parseRouteOf(message, AF_INET);
}

std::optional<RouteRecord> parseRoute6(Message message) {
    return parseRouteOf(message, AF_INET6);
}

std::optional<Address6Record> parseAddress6(Message message) {
    nlmsghdr header{};
    ifaddrmsg info{};
    if (!headerOf(message, RTM_NEWADDR, header) || !readAt(message, kHeaderSize, info)) return std::nullopt;
    if (info.ifa_family != AF_INET6) return std::nullopt;
    Address6Record record;
    record.index = unsigned(info.ifa_index);
    record.scope = info.ifa_scope;
    record.flags = info.ifa_flags;
    std::optional<Ipv6Address> local, address;
    forEachAttribute(attributesAfter(message, sizeof info), [&](unsigned type, auto payload) {
        if (type == IFA_LOCAL) local = ipv6Of(payload);
        if (type == IFA_ADDRESS) address = ipv6Of(payload);
        if (type == IFA_FLAGS) // the full 32 flag bits; ifa_flags holds only the low eight
            if (auto flags = u32Of(payload)) record.flags = *flags;
    });
    // As for IPv4: an address with a peer carries the peer in IFA_ADDRESS, the own one in IFA_LOCAL.
    const std::optional<Ipv6Address> own = local ? local : address;
    if (!own) return std::nullopt;
    record.address = *own;
    return record;
}

int exchange(std::uint16_t type, std::uint16_t flags, std::span<const std::uint8_t> body,
             std::vector<Bytes>& answers) {
    Fd sock(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!sock.valid()) return errno;
    const timeval timeout{kReceiveTimeoutSeconds, 0};
    ::setsockopt(sock.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(sock.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return errno;
    socklen_t localLength = sizeof local;
    if (::getsockname(sock.get(), reinterpret_cast<sockaddr*>(&local), &localLength) != 0) return errno;

    nlmsghdr header{};
    header.nlmsg_len = std::uint32_t(kHeaderSize + body.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = std::uint16_t(flags | NLM_F_REQUEST);
    header.nlmsg_seq = nextSequence();
    Bytes request(kHeaderSize + align4(body.size()), 0);
    std::memcpy(request.data(), &header, kHeaderSize);
    if (!body.empty()) std::memcpy(request.data() + kHeaderSize, body.data(), body.size());

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(sock.get(), request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&kernel),
                 sizeof kernel) < 0)
        return errno;

    const bool isDump = (flags & NLM_F_DUMP) == NLM_F_DUMP;
    bool interrupted = false;
    Bytes buffer(kReceiveBufferSize);
    for (;;) {
        const ssize_t received = ::recv(sock.get(), buffer.data(), buffer.size(), MSG_TRUNC);
        if (received < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno;
        }
        if (std::size_t(received) > buffer.size()) return EMSGSIZE;
        for (Message message : splitMessages(std::span(buffer.data(), std::size_t(received)))) {
            nlmsghdr answer{};
            readAt(message, 0, answer);
            if (answer.nlmsg_seq != header.nlmsg_seq || answer.nlmsg_pid != local.nl_pid) continue;
            if (answer.nlmsg_flags & NLM_F_DUMP_INTR) interrupted = true;
            switch (answer.nlmsg_type) {
            case NLMSG_NOOP:
                continue;
            case NLMSG_ERROR:
                // An acknowledgement carries 0; anything else is the request's errno.
                return carriedError(message);
            case NLMSG_DONE: {
                const int error = carriedError(message);
                if (error != 0) return error;
                return interrupted ? EAGAIN : 0;
            }
            default:
                answers.emplace_back(message.begin(), message.end());
                if (!isDump && !(answer.nlmsg_flags & NLM_F_MULTI)) return 0;
            }
        }
    }
}

bool dumpLinks(std::vector<LinkRecord>& links) {
    ifinfomsg request{};
    request.ifi_family = AF_UNSPEC;
    return dump(RTM_GETLINK, bytesOf(request), parseLink, links);
}

bool dumpIpv4Addresses(std::vector<AddressRecord>& addresses) {
    ifaddrmsg request{};
    request.ifa_family = AF_INET;
    return dump(RTM_GETADDR, bytesOf(request), parseAddress, addresses);
}

bool dumpIpv4Routes(std::vector<RouteRecord>& routes) {
    rtmsg request{};
    request.rtm_family = AF_INET;
    return dump(RTM_GETROUTE, bytesOf(request), parseRoute, routes);
}

bool dumpIpv6Addresses(std::vector<Address6Record>& addresses) {
    ifaddrmsg request{};
    request.ifa_family = AF_INET6;
    return dump(RTM_GETADDR, bytesOf(request), parseAddress6, addresses);
}

bool dumpIpv6Routes(std::vector<RouteRecord>& routes) {
    rtmsg request{};
    request.rtm_family = AF_INET6;
    return dump(RTM_GETROUTE, bytesOf(request), parseRoute6, routes);
}

int getLink(unsigned index, LinkRecord& link) {
    ifinfomsg request{};
    request.ifi_family = AF_UNSPEC;
    request.ifi_index = int(index);
    std::vector<Bytes> answers;
    const int error = exchange(RTM_GETLINK, 0, bytesOf(request), answers);
    if (error != 0) return error;
    for (const Bytes& answer : answers) {
        if (auto parsed = parseLink(Message(answer)); parsed && parsed->index == index) {
            link = std::move(*parsed);
            return 0;
        }
    }
    return ENODEV;
}

} // namespace orvex::rtnetlink
