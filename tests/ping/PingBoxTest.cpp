#include "ping/PingBox.h"
#include "platform/Convert.h"
#include "platform/Fd.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

using namespace orvex;

TEST(PingReplyLine, Format) {
    struct Case {
        TReplyStatus status;
        const char* line;
    } cases[] = {
        {{.ByteCount = 72, .Sequence = 3489, .RoundTripMs = 23, .Ttl = 55},
         "72 bytes - icmp_seq=3489 - ttl=55 - time=23 ms"},
        {{.ByteCount = 0,
          .SourceAddress = "0.0.0.0",
          .Sequence = 3490,
          .RoundTripMs = 1000,
          .Outcome = TReplyOutcome::roTimedOut},
         "0 bytes - icmp_seq=3490 - ttl=0 - time=1000 ms"},
        {{.ByteCount = 72, .Sequence = 1, .RoundTripMs = 0, .Ttl = 128},
         "72 bytes - icmp_seq=1 - ttl=128 - time<1 ms"},
        {{.ByteCount = 100,
          .IcmpType = 3,
          .Sequence = 65535,
          .RoundTripMs = 15,
          .Ttl = 255,
          .Outcome = TReplyOutcome::roUnreachable},
         "100 bytes - icmp_seq=65535 - ttl=255 - time=15 ms"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PingReplyLine(c.status), c.line);
}

TEST(PingSummaryLine, CountsLossAndTimes) {
    const auto answer = [](std::uint32_t ms) {
        return TReplyStatus{.ByteCount = 72, .RoundTripMs = ms, .Outcome = TReplyOutcome::roEchoReply};
    };
    const TReplyStatus timeout{.RoundTripMs = 1000, .Outcome = TReplyOutcome::roTimedOut};
    const TReplyStatus unreachable{
        .ByteCount = 100, .RoundTripMs = 4, .Outcome = TReplyOutcome::roUnreachable};
    std::vector<TReplyStatus> nine(9, answer(3));
    nine[0] = answer(9);
    nine[4] = answer(1);
    nine.push_back(timeout);
    std::vector<TReplyStatus> thousand(1000, answer(0));
    thousand[500] = timeout;
    struct Case {
        const char* name;
        std::vector<TReplyStatus> replies;
        bool failed;
        std::string line;
    } cases[] = {
        {"one lost of ten", nine, false, "--- 9/10 beantwortet, 10 % Verlust, \xD8 3 ms (1-9)"},
        {"all answered, average rounded",
         {answer(1), answer(2)},
         false,
         "--- 2/2 beantwortet, 0 % Verlust, \xD8 2 ms (1-2)"},
        {"a third lost, rounded down",
         {answer(5), timeout, answer(6)},
         false,
         "--- 2/3 beantwortet, 33 % Verlust, \xD8 6 ms (5-6)"},
        {"two thirds lost",
         {timeout, unreachable, answer(0)},
         false,
         "--- 1/3 beantwortet, 66 % Verlust, \xD8 0 ms (0-0)"},
        {"one of a thousand lost is not 0 %", thousand, false,
         "--- 999/1000 beantwortet, 1 % Verlust, \xD8 0 ms (0-0)"},
        {"nothing answered", {timeout, unreachable}, false, "--- 0/2 beantwortet, 100 % Verlust"},
        {"stopped after two of ten",
         {answer(7), timeout},
         false,
         "--- 1/2 beantwortet, 50 % Verlust, \xD8 7 ms (7-7)"},
        {"a run of one", {answer(3)}, false, ""},
        {"stopped before the first request finished", {}, false, ""},
        {"stopped after the first request", {timeout}, false, ""},
        {"failed", {answer(3), answer(4)}, true, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PingSummaryLine(c.replies, c.failed), c.line) << c.name;
}

namespace {

struct Box {
    test::ScriptedEcho echo;
    TNxIcmpClient icmp;
    std::vector<std::string> lines{"old line"};
    int notices = 0;
    int failures = 0;
    std::function<bool()> stop;
    PingBoxView view{[this] { ++notices; }, [this] { lines.clear(); }, [this] { ++failures; },
                     [this](const std::string& line) { lines.push_back(line); }};

    Box() {
        echo.answerEchoes = true;
        icmp.ReceiveTimeout = 5000;
    }
    int run(const std::string& host, const std::string& count) {
        return RunPingBox(
            icmp, host, count,
            [this](TNxIcmpClient&, const TReplyStatus& s) { lines.push_back(PingReplyLine(s)); }, view, stop);
    }
};

} // namespace

TEST(PingRun, EmptyHostShowsTheNoticeOnly) {
    Box box;
    EXPECT_EQ(box.run("", "10"), 0);
    EXPECT_EQ(box.notices, 1);
    EXPECT_EQ(box.lines, std::vector<std::string>{"old line"});
    EXPECT_TRUE(box.echo.sent.empty());
    EXPECT_EQ(box.icmp.ReceiveTimeout, 5000); // the client is not touched either
}

TEST(PingRun, CountsLinesAndSequenceNumbersAcrossRuns) {
    Box box;
    EXPECT_EQ(box.run("127.0.0.1", "3"), 3);
    ASSERT_EQ(box.lines.size(), 4u);
    const std::string summary = "--- 3/3 beantwortet, 0 % Verlust, \xD8 ";
    EXPECT_EQ(box.lines[3].substr(0, summary.size()), summary);
    for (int i = 0; i < 3; ++i) {
        const std::string head = "72 bytes - icmp_seq=" + std::to_string(3489 + i) + " - ttl=64 - time";
        EXPECT_EQ(box.lines[static_cast<std::size_t>(i)].substr(0, head.size()), head);
        EXPECT_EQ(
            box.lines[static_cast<std::size_t>(i)].substr(box.lines[static_cast<std::size_t>(i)].size() - 3),
            " ms");
    }
    EXPECT_EQ(box.icmp.ReceiveTimeout, 1000);
    EXPECT_EQ(box.icmp.Host, "127.0.0.1");
    EXPECT_EQ(box.run("127.0.0.1", "10"), 10);
    EXPECT_EQ(box.run("127.0.0.1", "10"), 10);
    EXPECT_EQ(box.lines.front().substr(0, 25), "72 bytes - icmp_seq=3502 ");
    EXPECT_EQ(box.failures, 0);
}

TEST(PingRun, AFailureEndsTheRunAndTheNextRunRepeatsItsNumber) {
    Box box;
    box.echo.failSend = [](int index) { return index == 2 ? 10065 : 0; };
    EXPECT_EQ(box.run("localhost", "10"), 2);
    EXPECT_EQ(box.lines.size(), 2u);
    EXPECT_EQ(box.failures, 1);
    EXPECT_EQ(box.echo.sent.size(), 3u); // no fourth request
    box.echo.failSend = nullptr;
    box.run("localhost", "1"); // one line, no summary
    EXPECT_EQ(box.lines, std::vector<std::string>{box.lines.front()});
    EXPECT_EQ(box.lines.front().substr(0, 25), "72 bytes - icmp_seq=3491 ");
}

TEST(PingRun, HostTextGoesUnchangedToTheLookup) {
    Box box;
    EXPECT_EQ(box.run("  ", "10"), 0);
    EXPECT_TRUE(box.lines.empty());
    EXPECT_EQ(box.failures, 1);
    EXPECT_EQ(box.echo.stack->nameQueries, std::vector<std::string>{"  "});
}

TEST(PingRun, CountTextThatIsNoNumberRaisesAfterTheListIsEmptied) {
    Box box;
    try {
        box.run("127.0.0.1", "zehn");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'zehn' ist kein gültiger Integerwert");
    }
    EXPECT_TRUE(box.lines.empty());
    EXPECT_TRUE(box.echo.sent.empty());
    EXPECT_EQ(box.failures, 0);
    for (const char* count : {"0", "-3"}) {
        EXPECT_EQ(box.run("127.0.0.1", count), 0);
        EXPECT_TRUE(box.echo.sent.empty());
    }
}

TEST(PingRun, TimeoutsAreLinesNotFailures) {
    Box box;
    box.echo.answerEchoes = false;
    // The box sets 1000 ms on every run; two unanswered requests take about two seconds.
    EXPECT_EQ(box.run("127.0.0.1", "2"), 2);
    ASSERT_EQ(box.lines.size(), 3u);
    const std::string head = "0 bytes - icmp_seq=3489 - ttl=0 - time=";
    ASSERT_EQ(box.lines[0].substr(0, head.size()), head);
    EXPECT_GE(std::stoi(box.lines[0].substr(head.size())), 999);
    EXPECT_EQ(box.lines[2], "--- 0/2 beantwortet, 100 % Verlust");
    EXPECT_EQ(box.failures, 0);
}

TEST(PingRun, AStopEndsTheRunBeforeTheNextRequest) {
    Box box;
    int asked = 0;
    box.stop = [&] { return ++asked > 2; };
    EXPECT_EQ(box.run("127.0.0.1", "10"), 2);
    ASSERT_EQ(box.lines.size(), 3u);
    const std::string summary = "--- 2/2 beantwortet, 0 % Verlust, \xD8 ";
    EXPECT_EQ(box.lines[2].substr(0, summary.size()), summary);
    EXPECT_EQ(box.echo.sent.size(), 2u);
    box.stop = [] { return true; }; // before the first request: no line at all
    EXPECT_EQ(box.run("127.0.0.1", "10"), 0);
    EXPECT_TRUE(box.lines.empty());
}

TEST(PingRun, OnlyANameWithoutIpv4AddressIsAskedForIpv6) {
    Box box;
    auto& stack = *box.echo.stack;
    stack.names["four.example"] = "127.0.0.1";
    stack.namesIpv6Only["six.example"] = "::1";
    // An IPv4 host costs its IPv4 lookups only, as before; a name nobody knows one IPv6 query more.
    EXPECT_EQ(box.run("four.example", "2"), 2);
    EXPECT_EQ(box.run("127.0.0.1", "1"), 1);
    EXPECT_EQ(box.run("nosuch.example", "2"), 0);
    EXPECT_EQ(box.failures, 1);
    EXPECT_EQ(stack.nameQueries,
              (std::vector<std::string>{"four.example", "four.example", "nosuch.example"}));
    EXPECT_EQ(stack.nameQueriesIpv6Only, std::vector<std::string>{"nosuch.example"});

    // An IPv6-only name: its IPv4 lookup fails once, then every request of the run goes over ICMPv6.
    stack.nameQueries.clear();
    const std::size_t sentBefore = box.echo.sent.size();
    EXPECT_EQ(box.run("six.example", "2"), 2);
    EXPECT_EQ(stack.nameQueries, std::vector<std::string>{"six.example"});
    EXPECT_EQ(box.echo.sent.size(), sentBefore);
    const bool icmpv6 = Fd(::socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6)).valid() ||
                        Fd(::socket(AF_INET6, SOCK_DGRAM, IPPROTO_ICMPV6)).valid();
    if (!icmpv6) GTEST_SKIP() << "no ICMPv6 socket for this user";
    EXPECT_EQ(box.failures, 1);
    ASSERT_EQ(box.lines.size(), 3u);
    EXPECT_TRUE(box.lines[0].starts_with("92 bytes - icmp_seq=3492 - ttl=64 - time")) << box.lines[0];
    EXPECT_TRUE(box.lines[1].starts_with("92 bytes - icmp_seq=3493 - ttl=64 - time")) << box.lines[1];
}

// A timeout line never shows less than the time it waited: the wait must not end early by a
// rounding to whole milliseconds. 200 unanswered requests in a namespace that ignores echo requests.
TEST(PingRun, TimeoutLinesNeverShowLessThanTheTimeout) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespace";
    constexpr int kTimeoutMs = 20;
    std::string why;
    const auto out = test::runInChild(
        {.ownNetwork = true, .pingGroupRange = "0 2147483647", .ignoreEchoRequests = true, .asNobody = true},
        [] {
            TNxIcmpClient client;
            client.Host = "127.0.0.1";
            client.ReceiveTimeout = kTimeoutMs;
            std::string shortLines;
            int timeouts = 0;
            client.OnReply = [&](TNxIcmpClient&, const TReplyStatus& status) {
                if (status.Outcome != TReplyOutcome::roTimedOut) return;
                ++timeouts;
                const std::string line = PingReplyLine(status);
                const auto time = line.find("time=");
                if (time == std::string::npos || std::stoi(line.substr(time + 5)) < kTimeoutMs)
                    shortLines += line + "\n";
            };
            for (int i = 0; i < 200; ++i)
                client.ExchangeEcho();
            return std::to_string(timeouts) + " timeouts\n" + shortLines;
        },
        &why);
    ASSERT_TRUE(out) << why;
    EXPECT_EQ(*out, "200 timeouts\n");
}
