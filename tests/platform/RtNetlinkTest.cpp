#include "platform/RtNetlink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

using namespace orvex;
using namespace orvex::rtnetlink;

namespace {

// Builds one netlink message the way the kernel lays it out: header, fixed part, 4-aligned attributes.
class MessageBuilder {
public:
    template <class Fixed> MessageBuilder(std::uint16_t type, const Fixed& fixed) {
        nlmsghdr header{};
        header.nlmsg_type = type;
        append(&header, sizeof header);
        append(&fixed, sizeof fixed);
    }
    MessageBuilder& attribute(std::uint16_t type, const void* data, std::size_t length) {
        const rtattr header{std::uint16_t(sizeof(rtattr) + length), type};
        append(&header, sizeof header);
        append(data, length);
        return *this;
    }
    MessageBuilder& attribute(std::uint16_t type, const Bytes& data) {
        return attribute(type, data.data(), data.size());
    }
    Bytes finish() {
        const auto length = std::uint32_t(bytes_.size());
        std::memcpy(bytes_.data(), &length, sizeof length);
        return bytes_;
    }

private:
    void append(const void* data, std::size_t length) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + length);
        bytes_.resize((bytes_.size() + 3) & ~std::size_t(3));
    }
    Bytes bytes_;
};

Bytes u32(std::uint32_t value) {
    Bytes out(4);
    std::memcpy(out.data(), &value, 4);
    return out;
}

Bytes linkMessage() {
    ifinfomsg info{};
    info.ifi_index = 4;
    info.ifi_flags = IFF_UP | IFF_BROADCAST;
    return MessageBuilder(RTM_NEWLINK, info)
        .attribute(IFLA_IFNAME, "eth0", 5)
        .attribute(IFLA_ADDRESS, Bytes{0x02, 0xfc, 0x00, 0x00, 0x00, 0x01})
        .finish();
}

Bytes addressMessage() {
    ifaddrmsg info{};
    info.ifa_family = AF_INET;
    info.ifa_index = 7;
    return MessageBuilder(RTM_NEWADDR, info)
        .attribute(IFA_ADDRESS, Bytes{10, 9, 9, 1}) // the peer of a point-to-point link
        .attribute(IFA_LOCAL, Bytes{10, 9, 9, 2})
        .finish();
}

Bytes multipathRouteMessage() {
    rtmsg info{};
    info.rtm_family = AF_INET;
    info.rtm_table = RT_TABLE_COMPAT; // the real table travels in RTA_TABLE
    info.rtm_type = RTN_UNICAST;
    Bytes hops;
    for (auto [index, gateway] : {std::pair{3, Bytes{10, 1, 0, 1}}, std::pair{5, Bytes{10, 2, 0, 1}}}) {
        rtnexthop hop{};
        hop.rtnh_len = sizeof hop + sizeof(rtattr) + 4;
        hop.rtnh_ifindex = index;
        const rtattr nested{sizeof(rtattr) + 4, RTA_GATEWAY};
        const auto* h = reinterpret_cast<const std::uint8_t*>(&hop);
        const auto* n = reinterpret_cast<const std::uint8_t*>(&nested);
        hops.insert(hops.end(), h, h + sizeof hop);
        hops.insert(hops.end(), n, n + sizeof nested);
        hops.insert(hops.end(), gateway.begin(), gateway.end());
    }
    return MessageBuilder(RTM_NEWROUTE, info)
        .attribute(RTA_TABLE, u32(RT_TABLE_MAIN))
        .attribute(RTA_MULTIPATH, hops)
        .finish();
}

Bytes plainRouteMessage() {
    rtmsg info{};
    info.rtm_family = AF_INET;
    info.rtm_table = RT_TABLE_MAIN;
    info.rtm_type = RTN_UNICAST;
    info.rtm_dst_len = 24;
    return MessageBuilder(RTM_NEWROUTE, info)
        .attribute(RTA_OIF, u32(9))
        .attribute(RTA_GATEWAY, Bytes{192, 0, 2, 1})
        .finish();
}

Bytes ipv6(std::initializer_list<std::uint8_t> head, std::uint8_t last) {
    Bytes out(16, 0);
    std::copy(head.begin(), head.end(), out.begin());
    out[15] = last;
    return out;
}

// An IPv6 address with a peer (IFA_ADDRESS), its own address in IFA_LOCAL and flags beyond 8 bits.
Bytes address6Message() {
    ifaddrmsg info{};
    info.ifa_family = AF_INET6;
    info.ifa_index = 6;
    info.ifa_scope = RT_SCOPE_UNIVERSE;
    info.ifa_flags = IFA_F_TEMPORARY;
    return MessageBuilder(RTM_NEWADDR, info)
        .attribute(IFA_ADDRESS, ipv6({0x20, 0x01, 0x0d, 0xb8}, 2))
        .attribute(IFA_LOCAL, ipv6({0x20, 0x01, 0x0d, 0xb8}, 1))
        .attribute(IFA_FLAGS, u32(IFA_F_TEMPORARY | IFA_F_NOPREFIXROUTE))
        .finish();
}

Bytes multipathRoute6Message() {
    rtmsg info{};
    info.rtm_family = AF_INET6;
    info.rtm_table = RT_TABLE_MAIN;
    info.rtm_type = RTN_UNICAST;
    Bytes hops;
    for (auto [index, gateway] :
         {std::pair{3, ipv6({0xfe, 0x80}, 1)}, std::pair{5, ipv6({0x20, 0x01, 0x0d, 0xb8}, 9)}}) {
        rtnexthop hop{};
        hop.rtnh_len = sizeof hop + sizeof(rtattr) + 16;
        hop.rtnh_ifindex = index;
        const rtattr nested{sizeof(rtattr) + 16, RTA_GATEWAY};
        const auto* h = reinterpret_cast<const std::uint8_t*>(&hop);
        const auto* n = reinterpret_cast<const std::uint8_t*>(&nested);
        hops.insert(hops.end(), h, h + sizeof hop);
        hops.insert(hops.end(), n, n + sizeof nested);
        hops.insert(hops.end(), gateway.begin(), gateway.end());
    }
    return MessageBuilder(RTM_NEWROUTE, info).attribute(RTA_MULTIPATH, hops).finish();
}

// Parses with every parser: none may read outside the bytes (the sanitizer build checks).
void parseEverything(const Bytes& bytes) {
    (void)parseLink(bytes);
    (void)parseAddress(bytes);
    (void)parseRoute(bytes);
    (void)parseAddress6(bytes);
    (void)parseRoute6(bytes);
}

const std::vector<Bytes>& allMessages() {
    static const std::vector<Bytes> messages = {linkMessage(),           addressMessage(),
                                                multipathRouteMessage(), plainRouteMessage(),
                                                address6Message(),       multipathRoute6Message()};
    return messages;
}

} // namespace

TEST(RtNetlink, ParsesLinkAddressAndRouteMessages) {
    const auto link = parseLink(linkMessage());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->index, 4u);
    EXPECT_EQ(link->name, "eth0");
    EXPECT_EQ(link->hardwareAddress, (Bytes{0x02, 0xfc, 0x00, 0x00, 0x00, 0x01}));
    EXPECT_TRUE(link->flags & IFF_UP);

    const auto address = parseAddress(addressMessage());
    ASSERT_TRUE(address);
    EXPECT_EQ(address->index, 7u);
    EXPECT_EQ(address->address, (Ipv4Address{10, 9, 9, 2}));

    const auto multipath = parseRoute(multipathRouteMessage());
    ASSERT_TRUE(multipath);
    EXPECT_EQ(multipath->table, unsigned(RT_TABLE_MAIN));
    EXPECT_EQ(multipath->prefixLength, 0u);
    ASSERT_EQ(multipath->nexthops.size(), 2u);
    EXPECT_EQ(multipath->nexthops[0].index, 3u);
    EXPECT_EQ(multipath->nexthops[0].gateway, (Ipv4Address{10, 1, 0, 1}));
    EXPECT_EQ(multipath->nexthops[1].index, 5u);
    EXPECT_EQ(multipath->nexthops[1].gateway, (Ipv4Address{10, 2, 0, 1}));

    const auto plain = parseRoute(plainRouteMessage());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->prefixLength, 24u);
    ASSERT_EQ(plain->nexthops.size(), 1u);
    EXPECT_EQ(plain->nexthops[0].index, 9u);
    EXPECT_EQ(plain->nexthops[0].gateway, (Ipv4Address{192, 0, 2, 1}));

    // Each parser takes only its own kind of message.
    EXPECT_FALSE(parseLink(addressMessage()));
    EXPECT_FALSE(parseAddress(plainRouteMessage()));
    EXPECT_FALSE(parseRoute(linkMessage()));
}

TEST(RtNetlink, ParsesIpv6AddressAndRouteMessages) {
    const auto address = parseAddress6(address6Message());
    ASSERT_TRUE(address);
    EXPECT_EQ(address->index, 6u);
    EXPECT_EQ(Bytes(address->address.begin(), address->address.end()), ipv6({0x20, 0x01, 0x0d, 0xb8}, 1));
    EXPECT_EQ(address->scope, unsigned(RT_SCOPE_UNIVERSE));
    EXPECT_EQ(address->flags, unsigned(IFA_F_TEMPORARY | IFA_F_NOPREFIXROUTE));

    const auto route = parseRoute6(multipathRoute6Message());
    ASSERT_TRUE(route);
    EXPECT_EQ(route->family, unsigned(AF_INET6));
    ASSERT_EQ(route->nexthops.size(), 2u);
    EXPECT_EQ(route->nexthops[0].index, 3u);
    ASSERT_TRUE(route->nexthops[0].gateway6);
    EXPECT_EQ(Bytes(route->nexthops[0].gateway6->begin(), route->nexthops[0].gateway6->end()),
              ipv6({0xfe, 0x80}, 1));
    EXPECT_FALSE(route->nexthops[1].gateway);
    EXPECT_EQ(route->nexthops[1].index, 5u);

    // Each family's parser takes only its own family.
    EXPECT_FALSE(parseAddress6(addressMessage()));
    EXPECT_FALSE(parseAddress(address6Message()));
    EXPECT_FALSE(parseRoute6(plainRouteMessage()));
    EXPECT_FALSE(parseRoute(multipathRoute6Message()));
}

TEST(RtNetlink, CutMessagesAreRefused) {
    for (const Bytes& full : allMessages()) {
        for (std::size_t length = 0; length < full.size(); ++length) {
            const Bytes cut(full.begin(), full.begin() + std::ptrdiff_t(length));
            EXPECT_FALSE(parseLink(cut) || parseAddress(cut) || parseRoute(cut) || parseAddress6(cut) ||
                         parseRoute6(cut))
                << length;
        }
    }
}

TEST(RtNetlink, CorruptLengthsNeverReadPastTheMessage) {
    for (const Bytes& full : allMessages()) {
        // Every byte after the total length, set to values that make lengths zero, tiny or huge.
        for (std::size_t at = sizeof(std::uint32_t); at < full.size(); ++at) {
            for (std::uint8_t value : {0x00, 0x01, 0x04, 0x05, 0x7f, 0xff}) {
                Bytes corrupt = full;
                corrupt[at] = value;
                parseEverything(corrupt);
            }
        }
    }
}

TEST(RtNetlink, SplitKeepsOnlyWholeMessages) {
    Bytes datagram;
    std::vector<std::size_t> ends;
    for (const Bytes& message : {linkMessage(), addressMessage(), multipathRouteMessage()}) {
        datagram.insert(datagram.end(), message.begin(), message.end());
        ends.push_back(datagram.size());
    }
    for (std::size_t length = 0; length <= datagram.size(); ++length) {
        const std::size_t whole = std::size_t(
            std::count_if(ends.begin(), ends.end(), [&](std::size_t end) { return end <= length; }));
        EXPECT_EQ(splitMessages(std::span(datagram.data(), length)).size(), whole) << length;
    }
    const auto messages = splitMessages(datagram);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(parseLink(messages[0]));
    EXPECT_TRUE(parseAddress(messages[1]));
    EXPECT_TRUE(parseRoute(messages[2]));
}

TEST(RtNetlink, KernelAnswersAGetForAMissingLinkWithNoDevice) {
    LinkRecord link;
    EXPECT_EQ(getLink(0x7ffffff0u, link), ENODEV);
    EXPECT_EQ(getLink(1, link), 0); // loopback always exists
    EXPECT_TRUE(link.flags & IFF_LOOPBACK);
    EXPECT_EQ(link.name, "lo");
}
