// The ping box with IPv6 hosts, inside the namespace of tests/support/netns-run.sh: ::1, the veth
// peer 2001:db8::2 (also as the AAAA-only name peer.orvex.test), a network the peer reports as
// unreachable, a hop limit that runs out at the peer and an on-link address nobody answers.
#include "net/TNxIcmp6Echo.h"
#include "ping/PingBox.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

using namespace orvex;

namespace {

// The box's lines for one run with the times cut off, then "failure" when the failure box came.
std::string pingLines(const std::string& host, const std::string& count, int hopLimit = 128) {
    TNxIcmpClient icmp;
    icmp.OutgoingTtl = hopLimit;
    std::string out;
    PingBoxView view{[] {}, [] {}, [&] { out += "failure\n"; },
                     [&](const std::string& summary) {
                         out += std::regex_replace(summary, std::regex(", \xD8.*"), "") + "\n";
                     }};
    RunPingBox(
        icmp, host, count,
        [&](TNxIcmpClient&, const TReplyStatus& s) {
            out += std::regex_replace(PingReplyLine(s), std::regex(" - time.*"), "") + " " +
                   std::to_string(int(s.Outcome)) + "\n";
        },
        view);
    return out;
}

// Every case in one process, so the socket kind is decided once per mode.
std::string allCases() {
    return pingLines("::1", "2") + pingLines("[2001:db8::2]", "1") + pingLines("peer.orvex.test", "1") +
           pingLines("2001:db8:99::5", "1") + pingLines("2001:db8:98::5", "1", 1) +
           pingLines("dual.orvex.test", "1") + pingLines("2001:db8::3", "1");
}

// Lines and outcomes (0 reply, 2 timeout, 3 unreachable, 4 hop limit exceeded): the IPv6 header
// (40) plus the ICMPv6 message, 52 bytes for an echo and 8 + 40 + 52 for an error message. Each
// run has a client of its own, so each starts at the first sequence number.
const char* const kExpected = "92 bytes - icmp_seq=3489 - ttl=64 0\n"
                              "92 bytes - icmp_seq=3490 - ttl=64 0\n"
                              "--- 2/2 beantwortet, 0 % Verlust\n"
                              "92 bytes - icmp_seq=3489 - ttl=64 0\n"
                              "92 bytes - icmp_seq=3489 - ttl=64 0\n"
                              "140 bytes - icmp_seq=3489 - ttl=64 3\n"
                              "140 bytes - icmp_seq=3489 - ttl=64 4\n"
                              "failure\n" // dual.orvex.test has an IPv4 address, which has no route here
                              "0 bytes - icmp_seq=3489 - ttl=0 2\n";

} // namespace

TEST(PingIpv6, RawSocket) {
    EXPECT_EQ(allCases(), kExpected);
}

TEST(PingIpv6, DatagramSocket) {
    std::string why;
    const auto out = test::runInChild({.asNobody = true}, allCases, &why);
    ASSERT_TRUE(out) << why;
    EXPECT_EQ(*out, kExpected);
}

TEST(PingIpv6, NoRouteGivesTheFailureBox) {
    std::string why;
    const auto out = test::runInChild(
        {.ownNetwork = true, .pingGroupRange = "0 2147483647"}, [] { return pingLines("2001:db8::2", "3"); },
        &why);
    ASSERT_TRUE(out) << why;
    EXPECT_EQ(*out, "failure\n");
}
