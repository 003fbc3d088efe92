// The port check: its port lists and lines, and real connects in a namespace of the test's own
// with listeners on IPv4 and IPv6, a port nothing listens on (reset) and a port behind an nft drop
// (no answer).
#include "trace/PortCheck.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>

using namespace orvex;

namespace {

TEST(PortList, ParsesListsAndRangesAndRefusesWhatItCannotCheck) {
    const struct {
        const char* text;
        std::vector<int> ports; // empty: refused with message
        const char* message;
    } cases[] = {
        {"22", {22}, ""},
        {"20-23", {20, 21, 22, 23}, ""},
        {"443,22,80-81,22", {443, 22, 80, 81}, ""},
        {"65535", {65535}, ""},
        {"1-1024", {}, ""}, // filled below: exactly the limit
        {"", {}, "kein Port angegeben"},
        {"0", {}, "Port 0 liegt nicht zwischen 1 und 65535"},
        {"70000", {}, "Port 70000 liegt nicht zwischen 1 und 65535"},
        {"1-1025", {}, "mehr als 1024 Ports"},
        {"1-1000,2000-2030", {}, "mehr als 1024 Ports"},
        {"90-80", {}, "Port-Bereich 90-80 läuft rückwärts"},
        {"http", {}, "'http' ist kein Port und kein Port-Bereich (z.B. 80 oder 8000-8010)"},
        {"22,", {}, "'' ist kein Port und kein Port-Bereich (z.B. 80 oder 8000-8010)"},
        {"-5", {}, "'-5' ist kein Port und kein Port-Bereich (z.B. 80 oder 8000-8010)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const auto ports = parsePortList(c.text, error);
        if (std::string(c.text) == "1-1024") {
            ASSERT_TRUE(ports);
            EXPECT_EQ(ports->size(), 1024u);
        } else if (c.ports.empty()) {
            EXPECT_FALSE(ports);
            EXPECT_EQ(error, c.message);
        } else {
            ASSERT_TRUE(ports) << error;
            EXPECT_EQ(*ports, c.ports);
        }
    }
}

TEST(PortLines, PingBoxStyleSummary) {
    using S = PortState;
    const std::vector<PortResult> results = {
        {22, {{S::Open, 1.4}, {S::Open, 0.4}, {S::Open, 2.6}}},
        {23, {{S::Closed, 0.2}, {S::Closed, 0.3}, {S::Closed, 0.1}}},
        {24, {{S::NoAnswer, 2000}, {S::NoAnswer, 2000}, {S::NoAnswer, 2000}}},
        {25, {{S::Unreachable, 3}, {S::NoAnswer, 2000}, {S::Unreachable, 3}}},
    };
    const char* lines[] = {
        "22/tcp offen - 3/3 beantwortet - Ø 1 ms (0-3)",
        "23/tcp geschlossen - 3/3 beantwortet - Ø 0 ms (0-0)",
        "24/tcp keine Antwort (Zeitlimit 2000 ms) - 0/3 beantwortet",
        "25/tcp unerreichbar - 0/3 beantwortet",
    };
    for (std::size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(portLine(results[i], 2000), lines[i]);
    EXPECT_EQ(portSummaryLine(results), "--- 1/4 Ports offen, 6/12 beantwortet, 50 % Verlust, Ø 1 ms (0-3)");
    // One lost of 200 is 1 %, never 0 %; nothing answered ends after the loss.
    PortResult many{80, std::vector<PortAttempt>(199, {S::Open, 1})};
    many.attempts.push_back({S::NoAnswer, 2000});
    EXPECT_EQ(portSummaryLine({many}), "--- 1/1 Ports offen, 199/200 beantwortet, 1 % Verlust, Ø 1 ms (1-1)");
    EXPECT_EQ(portSummaryLine({results[2]}), "--- 0/1 Ports offen, 0/3 beantwortet, 100 % Verlust");
    EXPECT_EQ(portReportJson({results[0], results[2]}),
              "[{\"port\": 22, \"state\": \"open\", \"sent\": 3, \"answered\": 3, \"avg_ms\": 1.467}, "
              "{\"port\": 24, \"state\": \"no answer\", \"sent\": 3, \"answered\": 0, \"avg_ms\": null}]\n");
}

int listenOn(int family, int port) {
    const int s = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage a{};
    socklen_t length;
    if (family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&a);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *in;
    } else {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        in6->sin6_addr = in6addr_loopback;
        length = sizeof *in6;
    }
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), length) != 0 || ::listen(s, 128) != 0) return -1;
    return s;
}

// In a namespace of its own: 7001 and 7002 listen, 7003 has nobody, 7004 is dropped by nft. The
// lines with the times cut off, for IPv4 and IPv6, two connects per port, with a 300 ms limit.
TEST(PortCheckNamespace, OpenClosedAndNoAnswerOverIpv4AndIpv6) {
    test::ChildSetup setup;
    setup.ownNetwork = true;
    setup.setupScript =
        "nft add table inet t && nft add chain inet t in '{ type filter hook input priority 0; }' && "
        "nft add rule inet t in tcp dport 7004 drop";
    std::string why;
    const auto out = test::runInChild(
        setup,
        [] {
            std::string text;
            for (int family : {AF_INET, AF_INET6}) {
                const int a = listenOn(family, 7001), b = listenOn(family, 7002);
                if (a < 0 || b < 0) return std::string("listen failed");
                std::string error;
                const auto target = resolveTraceTarget(family == AF_INET ? "LOCALHOST" : "::1", error);
                if (!target) return error;
                int heard = 0; // connects reported as they finished
                const auto results = runPortCheck(*target, {7001, 7002, 7003, 7004}, {2, 300, 64}, {},
                                                  [&](int, const PortAttempt&) { ++heard; });
                text += std::regex_replace(portReportText("h", *target, results, 300),
                                           std::regex("(, | - )Ø .*"), "");
                text += std::to_string(heard) + " gehört\n";
                ::close(a);
                ::close(b);
            }
            return text;
        },
        &why);
    if (!out) GTEST_SKIP() << why;
    EXPECT_EQ(*out, "Port-Test h (127.0.0.1), IPv4\n"
                    "7001/tcp offen - 2/2 beantwortet\n"
                    "7002/tcp offen - 2/2 beantwortet\n"
                    "7003/tcp geschlossen - 2/2 beantwortet\n"
                    "7004/tcp keine Antwort (Zeitlimit 300 ms) - 0/2 beantwortet\n"
                    "--- 2/4 Ports offen, 6/8 beantwortet, 25 % Verlust\n"
                    "8 gehört\n"
                    "Port-Test h (::1), IPv6\n"
                    "7001/tcp offen - 2/2 beantwortet\n"
                    "7002/tcp offen - 2/2 beantwortet\n"
                    "7003/tcp geschlossen - 2/2 beantwortet\n"
                    "7004/tcp keine Antwort (Zeitlimit 300 ms) - 0/2 beantwortet\n"
                    "--- 2/4 Ports offen, 6/8 beantwortet, 25 % Verlust\n"
                    "8 gehört\n");
}

// Never more than 64 connects at a time: 200 ports behind the drop with a 200 ms limit take at
// least four rounds of the limit.
TEST(PortCheckNamespace, AtMost64InFlight) {
    test::ChildSetup setup;
    setup.ownNetwork = true;
    setup.setupScript =
        "nft add table inet t && nft add chain inet t in '{ type filter hook input priority 0; }' && "
        "nft add rule inet t in tcp dport 7100-7299 drop";
    std::string why;
    const auto out = test::runInChild(
        setup,
        [] {
            std::string error;
            const auto target = resolveTraceTarget("127.0.0.1", error);
            std::vector<int> ports;
            for (int p = 7100; p < 7300; ++p)
                ports.push_back(p);
            const auto start = std::chrono::steady_clock::now();
            const auto results = runPortCheck(*target, ports, {1, 200, 64}, {});
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            return std::to_string(results.size()) + " " + std::to_string(ms.count() >= 4 * 200);
        },
        &why);
    if (!out) GTEST_SKIP() << why;
    EXPECT_EQ(*out, "200 1");
}

} // namespace
