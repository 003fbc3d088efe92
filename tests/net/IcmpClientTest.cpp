#include "net/TNxIcmpClient.h"
#include "platform/Ticks.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/ChildProcess.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace orvex;
using orvex::test::ScopedStack;

namespace {

using Bytes = std::vector<std::uint8_t>;

// RFC 1071 over big-endian words, the way the protocol is defined; independent of the client's
// little-endian shortcut.
std::uint16_t networkOrderChecksum(const Bytes& bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

Bytes request(const TNxIcmpClient& client) {
    return Bytes(client.RequestBuffer.begin(), client.RequestBuffer.begin() + client.RequestLength);
}

// An IPv4 datagram as a raw socket delivers it.
struct Datagram {
    int headerLength = 20;
    std::uint8_t ttl = 64;
    std::array<std::uint8_t, 4> source{127, 0, 0, 1};
    std::array<std::uint8_t, 4> destination{127, 0, 0, 1}; // error messages: where the request went
    std::uint8_t type = 0;
    std::uint16_t sequence = 3489;
    std::uint16_t identifier = 0x4242;
    int icmpLength = 52;                           // bytes of the ICMP message
    std::optional<std::uint16_t> embeddedSequence; // error messages: the request they carry

    Bytes bytes() const {
        // Built at full size, then cut to icmpLength.
        Bytes d(static_cast<std::size_t>(headerLength + std::max(icmpLength, 8 + headerLength + 8)), 0);
        d[0] = static_cast<std::uint8_t>(0x40 | headerLength / 4);
        d[8] = ttl;
        d[9] = 1;
        std::copy(source.begin(), source.end(), d.begin() + 12);
        std::uint8_t* icmp = d.data() + headerLength;
        icmp[0] = type;
        if (embeddedSequence) {
            std::uint8_t* inner = icmp + 8;
            inner[0] = static_cast<std::uint8_t>(0x40 | headerLength / 4);
            inner[9] = 1;
            std::copy(destination.begin(), destination.end(), inner + 16);
            inner[headerLength] = 8;
            inner[headerLength + 4] = static_cast<std::uint8_t>(identifier & 0xFF);
            inner[headerLength + 5] = static_cast<std::uint8_t>(identifier >> 8);
            inner[headerLength + 6] = static_cast<std::uint8_t>(*embeddedSequence & 0xFF);
            inner[headerLength + 7] = static_cast<std::uint8_t>(*embeddedSequence >> 8);
        } else {
            icmp[4] = static_cast<std::uint8_t>(identifier & 0xFF);
            icmp[5] = static_cast<std::uint8_t>(identifier >> 8);
            icmp[6] = static_cast<std::uint8_t>(sequence & 0xFF);
            icmp[7] = static_cast<std::uint8_t>(sequence >> 8);
        }
        d.resize(static_cast<std::size_t>(headerLength + icmpLength));
        return d;
    }
};

void load(TNxIcmpClient& client, const Bytes& d) {
    client.IncomingBuffer.fill(0);
    std::copy(d.begin(), d.end(), client.IncomingBuffer.begin());
}

std::string describe(const TReplyStatus& s) {
    std::ostringstream out;
    out << s.ByteCount << " " << s.SourceAddress << " type=" << int(s.IcmpType) << " seq=" << s.Sequence
        << " ttl=" << int(s.Ttl) << " outcome=" << int(s.Outcome);
    return out.str();
}

} // namespace

TEST(EchoRequest, BytesOfTheFirstRequest) {
    ScopedStack stack;
    TNxIcmpClient client;
    client.ProcessId = 0x00051234;
    EXPECT_EQ(client.NextSequence, 3489);
    const std::uint32_t before = tickCount();
    client.BuildEchoRequest("");
    const std::uint32_t after = tickCount();
    const Bytes r = request(client);
    ASSERT_EQ(r.size(), 52u);
    EXPECT_EQ(r[0], 8);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[4], 0x34); // identifier, least significant byte first
    EXPECT_EQ(r[5], 0x12);
    EXPECT_EQ(r[6], 0xA1); // 3489
    EXPECT_EQ(r[7], 0x0D);
    const std::uint32_t originate = r[8] | r[9] << 8 | r[10] << 16 | static_cast<std::uint32_t>(r[11]) << 24;
    EXPECT_LE(TicksBetween(before, originate), TicksBetween(before, after));
    for (int i = 12; i < 20; ++i)
        EXPECT_EQ(r[i], 0) << i;
    for (int i = 20; i < 52; ++i)
        EXPECT_EQ(r[i], 'E') << i;

    Bytes zeroed = r;
    zeroed[2] = zeroed[3] = 0;
    const std::uint16_t expected = networkOrderChecksum(zeroed);
    EXPECT_EQ(r[2], expected >> 8);
    EXPECT_EQ(r[3], expected & 0xFF);
    EXPECT_EQ(networkOrderChecksum(r), 0); // a receiver's check of the whole message
}

TEST(EchoRequest, PayloadIsCutAt32BytesAndPaddedWithE) {
    ScopedStack stack;
    TNxIcmpClient client;
    struct Case {
        std::string payload;
        std::string expected;
    } cases[] = {
        {"Hallo", "Hallo" + std::string(27, 'E')},
        {std::string(40, 'x') + "0123", std::string(32, 'x')},
        {std::string("\xE4\xF6\xFC", 3), std::string("\xE4\xF6\xFC", 3) + std::string(29, 'E')},
    };
    for (const auto& c : cases) {
        client.BuildEchoRequest(c.payload);
        const Bytes r = request(client);
        EXPECT_EQ(std::string(r.begin() + 20, r.end()), c.expected);
        EXPECT_EQ(networkOrderChecksum(r), 0) << c.payload;
    }
    // Every byte of the checksum field moves when one payload bit flips.
    client.BuildEchoRequest("A");
    const Bytes a = request(client);
    client.BuildEchoRequest("B");
    const Bytes b = request(client);
    EXPECT_NE(std::make_pair(a[2], a[3]), std::make_pair(b[2], b[3]));
}

TEST(ParseIncoming, Datagrams) {
    ScopedStack stack;
    TNxIcmpClient client;
    client.ProcessId = 0x4242;
    const std::uint16_t seq = client.NextSequence;
    struct Case {
        const char* name;
        Datagram datagram;
        int count; // -1: the datagram's size
        bool accepted;
        std::string record; // after the call, from a zero record
    } cases[] = {
        {"echo reply, 20-byte header",
         {.ttl = 55, .source = {192, 0, 2, 1}},
         -1,
         true,
         "72 192.0.2.1 type=0 seq=3489 ttl=55 outcome=0"},
        {"echo reply, 24-byte header",
         {.headerLength = 24, .ttl = 9},
         -1,
         true,
         "76 127.0.0.1 type=0 seq=3489 ttl=9 outcome=0"},
        {"own echo request", {.ttl = 128, .type = 8}, -1, false, "0  type=0 seq=0 ttl=0 outcome=0"},
        {"foreign identifier", {.identifier = 0x9999}, -1, false, "0  type=0 seq=0 ttl=0 outcome=0"},
        {"another sequence", {.sequence = 3488}, -1, false, "0  type=0 seq=0 ttl=0 outcome=0"},
        {"unreachable",
         {.ttl = 250, .source = {10, 0, 0, 1}, .type = 3, .icmpLength = 36, .embeddedSequence = seq},
         -1,
         true,
         "56 10.0.0.1 type=3 seq=3489 ttl=250 outcome=3"},
        {"time exceeded",
         {.source = {10, 0, 0, 2}, .type = 11, .icmpLength = 36, .embeddedSequence = seq},
         -1,
         true,
         "56 10.0.0.2 type=11 seq=3489 ttl=64 outcome=4"},
        {"unreachable for another request",
         {.type = 3, .icmpLength = 36, .embeddedSequence = 7},
         -1,
         false,
         "0  type=0 seq=0 ttl=0 outcome=3"},
        {"redirect skipped", {.type = 5}, -1, false, "0  type=0 seq=0 ttl=0 outcome=1"},
        {"timestamp skipped", {.type = 13}, -1, false, "0  type=0 seq=0 ttl=0 outcome=1"},
        {"28 bytes examined", {.icmpLength = 8}, 28, true, "28 127.0.0.1 type=0 seq=3489 ttl=64 outcome=0"},
        {"27 bytes skipped", {.icmpLength = 8}, 27, false, "0  type=0 seq=0 ttl=0 outcome=1"},
        {"nothing arrived", {}, 0, true, "0 0.0.0.0 type=0 seq=3489 ttl=0 outcome=2"},
    };
    for (const auto& c : cases) {
        const Bytes d = c.datagram.bytes();
        load(client, d);
        TReplyStatus status{};
        EXPECT_EQ(client.ParseIncoming(c.count < 0 ? static_cast<int>(d.size()) : c.count, status),
                  c.accepted)
            << c.name;
        EXPECT_EQ(describe(status), c.record) << c.name;
    }
}

// Every prefix of datagrams of each kind and header length, each in a buffer of exactly its size
// (an address sanitizer build catches any read beyond it): a prefix that ends before the sequence
// number is skipped, never an error, and the whole datagram is taken, but only with the request's
// identifier, sequence number and target.
TEST(ParseIncoming, EveryPrefixAndHeaderLength) {
    const std::uint16_t seq = 3489;
    const std::array<std::uint8_t, 4> target{127, 0, 0, 1};
    for (int headerLength = 20; headerLength <= 60; headerLength += 4) {
        const Datagram kinds[] = {
            {.headerLength = headerLength},
            {.headerLength = headerLength,
             .type = 3,
             .icmpLength = 8 + headerLength + 8,
             .embeddedSequence = seq},
            {.headerLength = headerLength,
             .type = 11,
             .icmpLength = 8 + headerLength + 8,
             .embeddedSequence = seq},
            {.headerLength = headerLength, .type = 8},
        };
        for (const auto& kind : kinds) {
            const Bytes whole = kind.bytes();
            const int sequenceEnd =
                kind.embeddedSequence ? headerLength + 8 + headerLength + 8 : headerLength + 8;
            for (std::size_t n = 1; n <= whole.size(); ++n) {
                const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
                const std::string what = "header " + std::to_string(headerLength) + " type " +
                                         std::to_string(kind.type) + " bytes " + std::to_string(n);
                const bool answer = kind.type != 8 && static_cast<int>(n) >= sequenceEnd;
                TReplyStatus status{};
                EXPECT_EQ(ExamineDatagram(prefix, {kind.identifier, seq, target}, status), answer) << what;
                EXPECT_EQ(status.ByteCount, answer ? static_cast<int>(n) : 0) << what;
                const EchoMatch others[] = {
                    {static_cast<std::uint16_t>(kind.identifier + 1), seq, target},
                    {kind.identifier, static_cast<std::uint16_t>(seq + 1), target},
                    {kind.identifier, seq, std::array<std::uint8_t, 4>{127, 0, 0, 2}}};
                for (const EchoMatch& other : others)
                    EXPECT_FALSE(ExamineDatagram(prefix, other, status)) << what;
            }
        }
    }
    // Header lengths below the minimal header are no datagrams to read.
    for (int ihl = 0; ihl < 5; ++ihl) {
        for (std::size_t n = 1; n <= 40; ++n) {
            Bytes d(n, 0);
            d[0] = static_cast<std::uint8_t>(0x40 | ihl);
            TReplyStatus status{};
            EXPECT_FALSE(ExamineDatagram(d, {std::nullopt, 0, std::nullopt}, status)) << ihl << " " << n;
        }
    }
}

TEST(ParseIncoming, ShortDatagramsAndBytesBeyondTheCount) {
    ScopedStack stack;
    TNxIcmpClient client;
    TReplyStatus status{};
    client.ProcessId = 0x4242;
    // Too short for its header and 8 bytes: skipped, from whoever it came.
    load(client, Datagram{.icmpLength = 7}.bytes());
    EXPECT_FALSE(client.ParseIncoming(27, status));
    load(client, Datagram{.headerLength = 24, .icmpLength = 40}.bytes());
    EXPECT_FALSE(client.ParseIncoming(31, status));

    // An unreachable message cut before the embedded sequence number: the matching number sits in
    // the buffer beyond the count and must not be read.
    load(client, Datagram{.type = 3, .icmpLength = 36, .embeddedSequence = client.NextSequence}.bytes());
    status = {};
    EXPECT_FALSE(client.ParseIncoming(20 + 8 + 20 + 6, status));
    EXPECT_EQ(status.ByteCount, 0);
    EXPECT_TRUE(client.ParseIncoming(20 + 8 + 20 + 8, status));
}

namespace {

using test::ScriptedEcho;

} // namespace

TEST(Exchange, SkipsForeignDatagramsUntilTheAnswer) {
    ScriptedEcho echo;
    TNxIcmpClient client;
    client.ProcessId = 0x4242;
    client.Host = "LocalHost";
    std::vector<TReplyStatus> replies;
    client.OnReply = [&](TNxIcmpClient&, const TReplyStatus& s) {
        EXPECT_FALSE(client.RawSocket.IsOpen); // closed before the report
        replies.push_back(s);
    };
    echo.incoming = {
        Datagram{.sequence = 3000}.bytes(),
        Datagram{.type = 5}.bytes(),
        Datagram{.ttl = 128, .type = 8}.bytes(),
        Datagram{.identifier = 0x1111}.bytes(),    // another instance's answer
        Datagram{.source = {10, 9, 9, 9}}.bytes(), // a forged answer from elsewhere
        Bytes(24, 0x45),                           // too short for anything
        Datagram{.destination = {10, 9, 9, 9}, .type = 11, .icmpLength = 56, .embeddedSequence = 3489}
            .bytes(), // about a request to another host
        Datagram{.ttl = 64, .sequence = 3489}.bytes()};
    client.ExchangeEcho();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(describe(replies[0]), "72 127.0.0.1 type=0 seq=3489 ttl=64 outcome=0");
    EXPECT_EQ(describe(client.LastReply), describe(replies[0]));
    EXPECT_EQ(echo.sentTo, std::vector<std::string>{"127.0.0.1"});
    EXPECT_TRUE(echo.stack->nameQueries.empty());
    EXPECT_EQ(client.NextSequence, 3490);
    EXPECT_TRUE(echo.incoming.empty());
}

// Datagrams longer than the 1024-byte buffer arrive cut. None is the answer to a 52-byte request,
// not even one that carries its identifier and sequence number (a forger's): each is skipped, and
// the run goes on to the real answer.
TEST(Exchange, CutDatagramsAreSkippedEvenWhenTheyMatch) {
    ScriptedEcho echo;
    TNxIcmpClient client;
    client.ProcessId = 0x4242;
    client.Host = "127.0.0.1";
    echo.incoming = {
        Datagram{.type = 8, .identifier = 0x1111, .icmpLength = 1108}.bytes(), // another host's ping
        Datagram{.type = 42, .icmpLength = 1380}.bytes(),                      // junk
        Datagram{.icmpLength = 1380}.bytes(),                                  // a forged answer
        Datagram{.type = 11, .icmpLength = 1380, .embeddedSequence = 3489}.bytes(),
        Datagram{.type = 3, .icmpLength = 1100, .embeddedSequence = 3489}.bytes(),
        Datagram{.ttl = 61}.bytes(),
    };
    client.ExchangeEcho();
    EXPECT_EQ(describe(client.LastReply), "72 127.0.0.1 type=0 seq=3489 ttl=61 outcome=0");
    EXPECT_TRUE(echo.incoming.empty());
    EXPECT_EQ(client.NextSequence, 3490);
}

TEST(Exchange, ATimeoutAfterSkippedDatagramsIsATimeout) {
    ScriptedEcho echo;
    TNxIcmpClient client;
    client.Host = "127.0.0.1";
    client.ReceiveTimeout = 120;
    echo.incoming = {Datagram{.sequence = 3000}.bytes(), Datagram{.type = 13}.bytes()};
    client.ExchangeEcho();
    EXPECT_EQ(describe(client.LastReply), "0 0.0.0.0 type=0 seq=3489 ttl=0 outcome=2");
    EXPECT_GE(client.LastReply.RoundTripMs, 115u);
    EXPECT_LT(client.LastReply.RoundTripMs, 1000u);
    EXPECT_EQ(client.NextSequence, 3490);
}

TEST(Exchange, SequenceOverrideAndWrap) {
    ScriptedEcho echo;
    TNxIcmpClient client;
    client.Host = "127.0.0.1";
    client.ReceiveTimeout = 1;
    client.ExchangeEcho("", 65535);
    EXPECT_EQ(echo.sent.back()[6], 0xFF);
    EXPECT_EQ(echo.sent.back()[7], 0xFF);
    EXPECT_EQ(client.NextSequence, 0);
    client.ExchangeEcho();
    EXPECT_EQ(client.LastReply.Sequence, 0);
    EXPECT_EQ(client.NextSequence, 1);
}

TEST(Exchange, StateAfterAnException) {
    ScriptedEcho echo;
    TNxIcmpClient client;
    client.Host = "127.0.0.1";
    int reports = 0;
    client.OnReply = [&](TNxIcmpClient&, const TReplyStatus&) { ++reports; };
    client.ProcessId = 0x4242;
    echo.incoming = {Datagram{}.bytes()};
    client.ExchangeEcho();
    const std::string previous = describe(client.LastReply);
    ASSERT_EQ(reports, 1);

    // A send that fails: the exchange raises and changes nothing but the socket.
    echo.failSend = [](int index) { return index == 1 ? 10055 : 0; };
    EXPECT_THROW(client.ExchangeEcho(), ENxSocketError);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(client.NextSequence, 3490);
    EXPECT_EQ(describe(client.LastReply), previous);
    EXPECT_TRUE(client.RawSocket.IsOpen);

    // The next exchange reuses the open socket and sends the same sequence number again.
    const auto opened = echo.stack->openedSockets.size();
    echo.incoming = {Datagram{.sequence = 3490}.bytes()};
    client.ExchangeEcho();
    EXPECT_EQ(echo.stack->openedSockets.size(), opened);
    EXPECT_EQ(echo.sent.back()[6], 0xA2); // 3490 again, least significant byte first
    EXPECT_EQ(echo.sent.back()[7], 0x0D);
    EXPECT_EQ(reports, 2);
    EXPECT_FALSE(client.RawSocket.IsOpen);

    // A host that cannot be resolved: the name error, no socket opened.
    client.Host = "nosuch.example";
    try {
        client.ExchangeEcho();
        FAIL() << "no exception";
    } catch (const ENxSocketError& e) {
        EXPECT_EQ(e.SocketCode, 11001);
        EXPECT_EQ(e.Message, "Socket-Fehler # 11001\r\nHost nicht gefunden.");
    }
    EXPECT_EQ(client.NextSequence, 3491);
    EXPECT_EQ(echo.stack->nameQueries, std::vector<std::string>{"nosuch.example"});
    EXPECT_EQ(reports, 2);
}

TEST(Exchange, SendFailuresRaiseTheirExceptions) {
    ScriptedEcho echo;
    TNxIcmpClient client;
    client.Host = "127.0.0.1";
    echo.stack->sendTo = [](const void*, int length, const std::string&) { return length - 1; };
    EXPECT_THROW(client.ExchangeEcho(), ENxNotAllBytesSent);
    echo.stack->platformCode = 10040;
    echo.stack->sendTo = [](const void*, int, const std::string&) { return -1; };
    EXPECT_THROW(client.ExchangeEcho(), ENxPackageSizeTooBig);
    echo.stack->platformCode = 10065;
    try {
        client.ExchangeEcho();
        FAIL() << "no exception";
    } catch (const ENxSocketError& e) {
        EXPECT_EQ(e.Message, "Socket-Fehler # 10065\r\nKeine Route zum Host.");
    }
    EXPECT_EQ(client.NextSequence, 3489);

    // Neither a raw nor a datagram socket: the socket cannot be allotted.
    echo.stack->socket = [](int, int) { return kInvalidSocket; };
    client.RawSocket.DropSocket();
    try {
        client.ExchangeEcho();
        FAIL() << "no exception";
    } catch (const ENxInvalidSocket& e) {
        EXPECT_EQ(e.Message, "Socket kann nicht zugewiesen werden.");
    }
    EXPECT_EQ(echo.stack->openedSockets.back(), std::make_pair(kSockDgram, 1));
}

namespace {

// Three exchanges with 127.0.0.1, one line per record plus the socket kind.
std::string threeExchanges(int timeoutMs = 1000) {
    TNxIcmpClient client;
    client.Host = "127.0.0.1";
    client.ReceiveTimeout = timeoutMs;
    std::string out;
    client.OnReply = [&](TNxIcmpClient&, const TReplyStatus& s) { out += describe(s) + "\n"; };
    for (int i = 0; i < 3; ++i)
        client.ExchangeEcho();
    out += client.UsesDatagramSocket() ? "datagram" : "raw";
    out += " rtt=" + std::to_string(client.LastReply.RoundTripMs);
    // The identifier of the accepted packet: the process id's low bytes, least significant first,
    // also where the kernel sets it for a datagram socket.
    const bool ownIdentifier = client.IncomingBuffer[24] == (client.ProcessId & 0xFF) &&
                               client.IncomingBuffer[25] == ((client.ProcessId >> 8) & 0xFF);
    out += ownIdentifier ? " own-id" : " foreign-id";
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace

TEST(LoopbackEcho, RawSocketAsRoot) {
    if (::geteuid() != 0) GTEST_SKIP() << "raw sockets need root";
    const auto result = lines(threeExchanges());
    ASSERT_EQ(result.size(), 4u);
    // The raw socket hears the request to this machine (time-to-live 128) before the answer; the
    // answer is taken.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(result[static_cast<std::size_t>(i)],
                  "72 127.0.0.1 type=0 seq=" + std::to_string(3489 + i) + " ttl=64 outcome=0");
    EXPECT_EQ(result[3].substr(0, 3), "raw");
    EXPECT_NE(result[3].find(" own-id"), std::string::npos) << result[3];
}

// The time-to-live travels with each request; a value the kernel refuses fails the exchange as a
// refused socket option would, and the next request goes out with the corrected value.
TEST(LoopbackEcho, TimeToLiveOutOfRangeIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "raw sockets need root";
    TNxIcmpClient client;
    client.Host = "127.0.0.1";
    client.ReceiveTimeout = 1000;
    for (int ttl : {0, 256}) {
        client.OutgoingTtl = ttl;
        try {
            client.ExchangeEcho();
            ADD_FAILURE() << "no exception for " << ttl;
        } catch (const ENxSocketError& e) {
            EXPECT_EQ(e.SocketCode, 10022) << ttl;
        }
    }
    EXPECT_EQ(client.NextSequence, 3489);
    client.OutgoingTtl = 255;
    client.ExchangeEcho();
    EXPECT_EQ(describe(client.LastReply), "72 127.0.0.1 type=0 seq=3489 ttl=64 outcome=0");
}

TEST(LoopbackEcho, DatagramSocketAsOrdinaryUser) {
    std::optional<std::string> out;
    if (test::canIsolate()) {
        std::string why;
        out = test::runInChild(
            {.ownNetwork = true, .pingGroupRange = "0 2147483647", .asNobody = true},
            [] { return threeExchanges(); }, &why);
        if (!out) GTEST_SKIP() << why;
    } else {
        out = threeExchanges();
        if (out->find("exception") == 0) GTEST_SKIP() << *out;
    }
    const auto result = lines(*out);
    ASSERT_EQ(result.size(), 4u) << *out;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(result[static_cast<std::size_t>(i)],
                  "72 127.0.0.1 type=0 seq=" + std::to_string(3489 + i) + " ttl=64 outcome=0");
    EXPECT_EQ(result[3].substr(0, 8), "datagram");
    EXPECT_NE(result[3].find(" own-id"), std::string::npos) << result[3];
}

TEST(LoopbackEcho, NoSocketForAnOrdinaryUserWithoutPingGroup) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespace";
    std::string why;
    const auto out = test::runInChild(
        {.ownNetwork = true, .pingGroupRange = "1 0", .asNobody = true}, [] { return threeExchanges(); },
        &why);
    ASSERT_TRUE(out) << why;
    EXPECT_EQ(*out, "exception: Socket kann nicht zugewiesen werden.");
}

// A machine that ignores echo requests gives timeout lines in both socket modes; the raw socket's
// own request is no answer.
TEST(LoopbackEcho, UnansweredRequestsTimeOut) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespace";
    for (const bool asNobody : {true, false}) {
        std::string why;
        const auto out = test::runInChild(
            {.ownNetwork = true,
             .pingGroupRange = "0 2147483647",
             .ignoreEchoRequests = true,
             .asNobody = asNobody},
            [] { return threeExchanges(150); }, &why);
        ASSERT_TRUE(out) << why;
        const auto result = lines(*out);
        ASSERT_EQ(result.size(), 4u) << *out;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(result[static_cast<std::size_t>(i)],
                      "0 0.0.0.0 type=0 seq=" + std::to_string(3489 + i) + " ttl=0 outcome=2");
        EXPECT_EQ(result[3].substr(0, 3), asNobody ? "dat" : "raw");
        const int rtt = std::stoi(result[3].substr(result[3].find("rtt=") + 4));
        EXPECT_GE(rtt, 149); // whole milliseconds of a counter read twice
        EXPECT_LT(rtt, 1000);
    }
}

namespace {

// The router of tests/support/icmp-router.sh: unreachable and time-exceeded answers from this
// machine's own kernel.
std::string routerScript() {
    const char* source = std::getenv("ORVEX_SOURCE_DIR");
    std::ifstream file(std::string(source ? source : ".") + "/tests/support/icmp-router.sh");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string errorExchanges() {
    TNxIcmpClient client;
    client.ReceiveTimeout = 1000;
    std::string out;
    client.OnReply = [&](TNxIcmpClient&, const TReplyStatus& s) { out += describe(s) + "\n"; };
    client.Host = "10.99.3.1"; // this machine's own address
    client.ExchangeEcho();
    client.Host = "10.99.2.5";
    client.ExchangeEcho();
    client.Host = "10.99.5.5";
    client.OutgoingTtl = 1;
    client.ExchangeEcho();
    out += client.UsesDatagramSocket() ? "datagram" : "raw";
    return out;
}

void expectRouterErrors(bool asNobody) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespace";
    const std::string script = routerScript();
    ASSERT_FALSE(script.empty()) << "tests/support/icmp-router.sh not found";
    std::string why;
    const auto out = test::runInChild(
        {.ownNetwork = true, .pingGroupRange = "0 2147483647", .setupScript = script, .asNobody = asNobody},
        errorExchanges, &why);
    if (!out && why.find("setup script") != std::string::npos) GTEST_SKIP() << why;
    ASSERT_TRUE(out) << why;
    const auto result = lines(*out);
    ASSERT_EQ(result.size(), 4u) << *out;
    EXPECT_EQ(result[0], "72 10.99.3.1 type=0 seq=3489 ttl=64 outcome=0");
    // 100 bytes: IP header, ICMP error header, the request's IP header and the whole request.
    EXPECT_EQ(result[1], "100 10.99.3.1 type=3 seq=3490 ttl=64 outcome=3");
    EXPECT_EQ(result[2], "100 10.99.3.1 type=11 seq=3491 ttl=64 outcome=4");
    EXPECT_EQ(result[3], asNobody ? "datagram" : "raw");
}

} // namespace

TEST(RoutedNamespace, RawSocket) {
    expectRouterErrors(false);
}

TEST(RoutedNamespace, DatagramSocket) {
    expectRouterErrors(true);
}

namespace {

// A third host, 10.99.6.2 in a namespace of its own behind a veth pair, pings this machine
// (10.99.6.1) with 1100-byte requests and sends 1400-byte datagrams of an unrelated type and echo
// replies for another identifier, all longer than the client's receive buffer, for four seconds.
const char* const kThirdHostScript = R"sh(
ip link add h0 type veth peer name h1
ip addr add 10.99.6.1/24 dev h0
ip link set h0 up
unshare -n sh -c '
  while ! ip link show h1 >/dev/null 2>&1; do sleep 0.01; done
  ip link set lo up
  ip addr add 10.99.6.2/24 dev h1
  ip link set h1 up
  timeout 4 ping -q -n -s 1100 -i 0.002 10.99.6.1 &
  timeout 4 /usr/bin/python3 - <<PY &
import socket, struct, time
s = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
def checked(m):
    total = sum(struct.unpack("!%dH" % (len(m) // 2), m))
    total = (total >> 16) + (total & 0xFFFF)
    total += total >> 16
    return m[:2] + struct.pack("!H", ~total & 0xFFFF) + m[4:]
n = 0
while True:
    for kind in (42, 0):
        body = struct.pack("<BBHHH", kind, 0, 0, 0x1111, 3489 + n % 8) + bytes(1372)
        s.sendto(checked(body), ("10.99.6.1", 0))
    n += 1
    time.sleep(0.002)
PY
  wait' </dev/null >/dev/null 2>&1 &
peer=$!
while [ "$(readlink /proc/$peer/ns/net)" = "$(readlink /proc/self/ns/net)" ]; do sleep 0.01; done
ip link set h1 netns $peer
while ! ping -c 1 -W 1 10.99.6.2 >/dev/null 2>&1; do sleep 0.05; done
sleep 0.2
)sh";

std::string thirdHostExchanges() {
    // As root, a second raw socket counts the long datagrams that reached this machine meanwhile.
    const int counter = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    TNxIcmpClient client;
    client.ReceiveTimeout = 300;
    std::string out;
    client.OnReply = [&](TNxIcmpClient&, const TReplyStatus& s) { out += describe(s) + "\n"; };
    client.Host = "127.0.0.1"; // this machine ignores echo requests: two long waits
    client.ExchangeEcho();
    client.ExchangeEcho();
    client.Host = "10.99.6.2";
    for (int i = 0; i < 3; ++i)
        client.ExchangeEcho();
    out += client.UsesDatagramSocket() ? "datagram" : "raw";
    if (counter >= 0) {
        int longOnes = 0;
        std::uint8_t buffer[1];
        for (ssize_t n; (n = ::recv(counter, buffer, sizeof buffer, MSG_TRUNC)) >= 0;)
            longOnes += n > 1024;
        ::close(counter);
        out += " long=" + std::string(longOnes > 0 ? "some" : "none");
    }
    return out;
}

} // namespace

TEST(ThirdHost, LongDatagramsOfOthersDoNotEndTheRun) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespaces";
    for (const bool asNobody : {false, true}) {
        std::string why;
        const auto out = test::runInChild({.ownNetwork = true,
                                           .pingGroupRange = "0 2147483647",
                                           .ignoreEchoRequests = true,
                                           .setupScript = kThirdHostScript,
                                           .asNobody = asNobody},
                                          thirdHostExchanges, &why);
        if (!out && why.find("setup script") != std::string::npos) GTEST_SKIP() << why;
        ASSERT_TRUE(out) << why;
        const auto result = lines(*out);
        ASSERT_EQ(result.size(), 6u) << *out;
        EXPECT_EQ(result[0], "0 0.0.0.0 type=0 seq=3489 ttl=0 outcome=2");
        EXPECT_EQ(result[1], "0 0.0.0.0 type=0 seq=3490 ttl=0 outcome=2");
        for (int i = 2; i < 5; ++i)
            EXPECT_EQ(result[static_cast<std::size_t>(i)],
                      "72 10.99.6.2 type=0 seq=" + std::to_string(3489 + i) + " ttl=64 outcome=0");
        EXPECT_EQ(result[5], asNobody ? "datagram" : "raw long=some");
    }
}

namespace {

// A forger, 10.99.7.2 in a namespace of its own behind a veth pair, answers pings as any host does
// and sends this machine (10.99.7.1), every 2 ms, what a hostile host can: echo replies that carry
// the client's identifier (0x2222) and the coming sequence numbers, one of 1400 bytes and one of
// normal size, and a 1400-byte time-exceeded message quoting such a request to itself.
const char* const kForgerScript = R"sh(
ip link add f0 type veth peer name f1
ip addr add 10.99.7.1/24 dev f0
ip link set f0 up
unshare -n sh -c '
  while ! ip link show f1 >/dev/null 2>&1; do sleep 0.01; done
  ip link set lo up
  ip addr add 10.99.7.2/24 dev f1
  ip link set f1 up
  timeout 6 /usr/bin/python3 - <<PY &
import socket, struct, time
s = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
def checked(m):
    if len(m) % 2: m += bytes(1)
    total = sum(struct.unpack("!%dH" % (len(m) // 2), m))
    total = (total >> 16) + (total & 0xFFFF)
    total += total >> 16
    return m[:2] + struct.pack("!H", ~total & 0xFFFF) + m[4:]
n = 0
while True:
    seq = 3489 + n % 8
    echo = struct.pack("<BBHHH", 0, 0, 0, 0x2222, seq)
    s.sendto(checked(echo + bytes(1372)), ("10.99.7.1", 0))
    s.sendto(checked(echo + bytes(44)), ("10.99.7.1", 0))
    quoted = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 72, 0, 0, 1, 1, 0,
                         socket.inet_aton("10.99.7.1"), socket.inet_aton("10.99.7.2"))
    request = struct.pack("<BBHHH", 8, 0, 0, 0x2222, seq) + bytes(44)
    s.sendto(checked(struct.pack("!BBHI", 11, 0, 0, 0) + quoted + request + bytes(1300)), ("10.99.7.1", 0))
    n += 1
    time.sleep(0.002)
PY
  wait' </dev/null >/dev/null 2>&1 &
peer=$!
while [ "$(readlink /proc/$peer/ns/net)" = "$(readlink /proc/self/ns/net)" ]; do sleep 0.01; done
ip link set f1 netns $peer
while ! ping -c 1 -W 1 10.99.7.2 >/dev/null 2>&1; do sleep 0.05; done
sleep 0.2
)sh";

std::string forgedExchanges() {
    TNxIcmpClient client;
    client.ProcessId = 0x2222;
    client.ReceiveTimeout = 300;
    std::string out;
    client.OnReply = [&](TNxIcmpClient&, const TReplyStatus& s) { out += describe(s) + "\n"; };
    client.Host = "127.0.0.1"; // this machine ignores echo requests: the forged answers come from elsewhere
    client.ExchangeEcho();
    client.ExchangeEcho();
    client.Host = "10.99.7.2"; // the forger itself: its real answers count, its long ones do not
    for (int i = 0; i < 3; ++i)
        client.ExchangeEcho();
    out += client.UsesDatagramSocket() ? "datagram" : "raw";
    return out;
}

// Two instances as root, with the same sequence numbers: one pings a host that does not exist while
// the other pings the forger, whose answers reach both raw sockets.
std::string twoInstances() {
    TNxIcmpClient dead;
    dead.ProcessId = 0x3333;
    dead.ReceiveTimeout = 300;
    dead.Host = "10.99.7.9";
    std::string out;
    dead.OnReply = [&](TNxIcmpClient&, const TReplyStatus& s) { out += describe(s) + "\n"; };
    std::atomic<bool> done{false};
    std::thread other([&] {
        TNxIcmpClient alive;
        alive.ProcessId = 0x4444;
        alive.ReceiveTimeout = 300;
        alive.Host = "10.99.7.2";
        while (!done) {
            alive.ExchangeEcho("", 3489);
            alive.ExchangeEcho("", 3490);
        }
    });
    dead.ExchangeEcho();
    dead.ExchangeEcho();
    done = true;
    other.join();
    return out;
}

} // namespace

// Forged answers from a host of the test's own: an oversize one that matches is skipped, never the
// end of the run; one from another host than the target is never the answer.
TEST(ThirdHost, ForgedAnswersNeitherEndTheRunNorCountAsAnswers) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespaces";
    for (const bool asNobody : {false, true}) {
        std::string why;
        const auto out = test::runInChild({.ownNetwork = true,
                                           .pingGroupRange = "0 2147483647",
                                           .ignoreEchoRequests = true,
                                           .setupScript = kForgerScript,
                                           .asNobody = asNobody},
                                          forgedExchanges, &why);
        if (!out && why.find("setup script") != std::string::npos) GTEST_SKIP() << why;
        ASSERT_TRUE(out) << why;
        const auto result = lines(*out);
        ASSERT_EQ(result.size(), 6u) << *out;
        EXPECT_EQ(result[0], "0 0.0.0.0 type=0 seq=3489 ttl=0 outcome=2");
        EXPECT_EQ(result[1], "0 0.0.0.0 type=0 seq=3490 ttl=0 outcome=2");
        for (int i = 2; i < 5; ++i)
            EXPECT_EQ(result[static_cast<std::size_t>(i)],
                      "72 10.99.7.2 type=0 seq=" + std::to_string(3489 + i) + " ttl=64 outcome=0");
        EXPECT_EQ(result[5], asNobody ? "datagram" : "raw");
    }
}

TEST(ThirdHost, TwoInstancesNeverTakeEachOthersAnswers) {
    if (!test::canIsolate()) GTEST_SKIP() << "needs root to set up the namespaces";
    std::string why;
    const auto out = test::runInChild({.ownNetwork = true, .setupScript = kForgerScript}, twoInstances, &why);
    if (!out && why.find("setup script") != std::string::npos) GTEST_SKIP() << why;
    ASSERT_TRUE(out) << why;
    EXPECT_EQ(*out, "0 0.0.0.0 type=0 seq=3489 ttl=0 outcome=2\n0 0.0.0.0 type=0 seq=3490 ttl=0 outcome=2\n");
}
