// A small rtnetlink client: one request, its answer messages, and parsers for the link, address
// and route messages the adapter queries read. The parsers check every length against the bytes
// received, so a cut or malformed message is refused, never read past.
// Plain functions; each exchange opens and closes its own socket, so any thread may call.
#pragma once

#include "platform/NetworkAdapters.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvex::rtnetlink {

using Bytes = std::vector<std::uint8_t>;
using Message = std::span<const std::uint8_t>; // one netlink message, header included

struct LinkRecord {
    unsigned index = 0;
    unsigned flags = 0; // IFF_*
    std::string name;
    Bytes hardwareAddress; // as long as the link's address is (0 bytes when it has none)
};

struct AddressRecord {
    unsigned index = 0;
    Ipv4Address address{};
};

// An IPv6 address of an interface, with the flags the adapter queries filter on.
struct Address6Record {
    unsigned index = 0;
    Ipv6Address address{};
    unsigned scope = 0; // RT_SCOPE_*
    unsigned flags = 0; // IFA_F_*
};

struct Nexthop {
    unsigned index = 0;
    std::optional<Ipv4Address> gateway;  // none for a route straight onto the link
    std::optional<Ipv6Address> gateway6; // the same for an IPv6 route
};

struct RouteRecord {
    unsigned family = 0; // AF_INET or AF_INET6
    unsigned table = 0;
    unsigned prefixLength = 0;
    unsigned type = 0; // RTN_*
    std::vector<Nexthop> nexthops;
};

// Each parses one RTM_NEW* message; nullopt when the message is of another kind, another address
// family, or shorter than its lengths claim.
std::optional<LinkRecord> parseLink(Message message);
std::optional<AddressRecord> parseAddress(Message message);
std::optional<RouteRecord> parseRoute(Message message);
// The IPv6 counterparts: an AF_INET6 address, an AF_INET6 route (gateways in gateway6).
std::optional<Address6Record> parseAddress6(Message message);
std::optional<RouteRecord> parseRoute6(Message message);

// Splits one received datagram into its messages; stops at the first header that does not fit.
std::vector<Message> splitMessages(std::span<const std::uint8_t> datagram);

// Sends one request of `type` with `flags` (NLM_F_REQUEST is added) and `body` after the header,
// and collects the answer messages up to the end of a dump, or the single answer of a get.
// Returns 0, or a positive errno (the kernel's error for the request, or the socket's).
int exchange(std::uint16_t type, std::uint16_t flags, std::span<const std::uint8_t> body,
             std::vector<Bytes>& answers);

// Convenience dumps; false when the exchange failed.
bool dumpLinks(std::vector<LinkRecord>& links);
bool dumpIpv4Addresses(std::vector<AddressRecord>& addresses);
bool dumpIpv4Routes(std::vector<RouteRecord>& routes);
bool dumpIpv6Addresses(std::vector<Address6Record>& addresses);
bool dumpIpv6Routes(std::vector<RouteRecord>& routes);

// Reads one link by index: 0, or a positive errno (ENODEV when there is no such link).
int getLink(unsigned index, LinkRecord& link);

} // namespace orvex::rtnetlink
