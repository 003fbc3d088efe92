// ICMPv6 echo: which hosts go to it, and which messages answer a request. Real exchanges are in
// tests/ping/PingIpv6Test.cpp.
#include "net/TNxIcmp6Echo.h"
#include "tests/net/NetTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>

using namespace orvex;

namespace {

using Bytes = std::vector<std::uint8_t>;

// An echo message (type, identifier 0x1234, sequence, both least significant byte first as sent)
// with a 44-byte body; or an error message of `type` that embeds it behind an IPv6 header.
Bytes echoMessage(std::uint8_t type, std::uint16_t sequence) {
    Bytes m(52, 'E');
    m[0] = type;
    m[1] = m[2] = m[3] = 0;
    m[4] = 0x34, m[5] = 0x12;
    m[6] = std::uint8_t(sequence & 0xFF), m[7] = std::uint8_t(sequence >> 8);
    return m;
}
// The request's target, and another host.
in6_addr address(const char* text) {
    in6_addr a{};
    ::inet_pton(AF_INET6, text, &a);
    return a;
}
const in6_addr kTarget = address("2001:db8::2");
const in6_addr kOther = address("2001:db8::3");

Bytes errorMessage(std::uint8_t type, const Bytes& embedded, std::uint8_t nextHeader = 58,
                   const in6_addr& to = kTarget) {
    Bytes m(48, 0);
    m[0] = type;
    m[8] = 0x60;
    m[14] = nextHeader;
    std::memcpy(m.data() + 8 + 24, &to, 16);
    m.insert(m.end(), embedded.begin(), embedded.end());
    return m;
}

} // namespace

TEST(Icmp6Echo, OnlyAnswersToTheRequestAreTaken) {
    const Bytes request = echoMessage(128, 3489);
    struct Case {
        const char* what;
        Bytes message;
        std::optional<std::uint16_t> identifier;
        int bytes; // 0: not an answer
        TReplyOutcome outcome = TReplyOutcome::roEchoReply;
        in6_addr sender = kTarget;
    } cases[] = {
        {"reply", echoMessage(129, 3489), 0x1234, 92},
        {"reply, identifier not checked", echoMessage(129, 3489), std::nullopt, 92},
        {"reply of another socket", echoMessage(129, 3489), 0x4321, 0},
        {"reply to another request", echoMessage(129, 3490), 0x1234, 0},
        {"our own request", request, 0x1234, 0},
        {"unreachable", errorMessage(1, request), 0x1234, 140, TReplyOutcome::roUnreachable},
        {"hop limit exceeded", errorMessage(3, request), 0x1234, 140, TReplyOutcome::roTtlExpired},
        {"error about a reply", errorMessage(1, echoMessage(129, 3489)), 0x1234, 0},
        {"error about another protocol", errorMessage(1, request, 17), 0x1234, 0},
        {"error cut before the sequence", errorMessage(1, Bytes(request.begin(), request.begin() + 7)),
         0x1234, 0},
        {"neighbour solicitation", echoMessage(135, 3489), 0x1234, 0},
        {"reply from another host", echoMessage(129, 3489), 0x1234, 0, TReplyOutcome::roEchoReply, kOther},
        {"error from a router", errorMessage(3, request), 0x1234, 140, TReplyOutcome::roTtlExpired, kOther},
        {"error about a request to another host", errorMessage(1, request, 58, kOther), 0x1234, 0},
        {"too short", Bytes(7, 0), 0x1234, 0},
    };
    for (const Case& c : cases) {
        TReplyStatus status{};
        const bool taken =
            TNxIcmp6Echo::ParseIncoming(c.message, {c.identifier, 3489, kTarget}, 57, c.sender, status);
        EXPECT_EQ(taken, c.bytes != 0) << c.what;
        if (!taken) continue;
        EXPECT_EQ(status.ByteCount, c.bytes) << c.what;
        EXPECT_EQ(status.Outcome, c.outcome) << c.what;
        EXPECT_EQ(status.IcmpType, c.message[0]) << c.what;
        EXPECT_EQ(status.Sequence, 3489) << c.what;
        EXPECT_EQ(status.Ttl, 57) << c.what;
        EXPECT_EQ(status.SourceAddress, c.sender.s6_addr[15] == 2 ? "2001:db8::2" : "2001:db8::3") << c.what;
    }
}

TEST(Icmp6Echo, HostsThatGoToIpv6) {
    test::ScopedStack stack;
    stack->namesIpv6Only["six.example"] = "2001:db8::6";
    auto target = [](const char* host) -> std::string {
        const auto address = Ipv6EchoTarget(host);
        if (!address) return "IPv4";
        char text[64];
        ::inet_ntop(AF_INET6, &address->sin6_addr, text, sizeof text);
        return text + (address->sin6_scope_id ? "%" + std::to_string(address->sin6_scope_id) : "");
    };
    EXPECT_EQ(target("::1"), "::1");
    EXPECT_EQ(target("[2001:0DB8:0:0::1]"), "2001:db8::1");
    EXPECT_EQ(target("fe80::1%lo"), "fe80::1%" + std::to_string(::if_nametoindex("lo")));
    for (const char* host : {"127.0.0.1", "localhost", "six.example", "", "[::1"})
        EXPECT_EQ(target(host), "IPv4") << host;
    EXPECT_TRUE(stack->nameQueriesIpv6Only.empty()); // address texts only: no lookup

    // Names are asked, once each; LOCALHOST and dotted addresses are never IPv6-only names.
    auto nameTarget = [](const char* host) { return Ipv6OnlyNameTarget(host).has_value(); };
    EXPECT_TRUE(nameTarget("six.example"));
    for (const char* host : {"dual.example", "LocalHost", "127.0.0.1"})
        EXPECT_FALSE(nameTarget(host)) << host;
    EXPECT_EQ(stack->nameQueriesIpv6Only, (std::vector<std::string>{"six.example", "dual.example"}));
    EXPECT_TRUE(stack->nameQueries.empty());
}
