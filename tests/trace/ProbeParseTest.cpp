// What a probe socket accepts as the answer to a probe: the messages a raw or datagram socket
// reads, whole, cut at every length, and with the one byte changed that makes them someone else's.
#include "trace/ProbeSocket.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orvex;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ipv4Header(std::uint8_t protocol, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    Bytes h(20, 0);
    h[0] = 0x45;
    h[8] = 60;
    h[9] = protocol;
    h[12] = a, h[13] = b, h[14] = c, h[15] = d;
    return h;
}

Bytes echo(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence) {
    return {type,
            0,
            0,
            0,
            std::uint8_t(identifier >> 8),
            std::uint8_t(identifier),
            std::uint8_t(sequence >> 8),
            std::uint8_t(sequence)};
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes ipv6Header() {
    Bytes h(40, 0);
    h[0] = 0x60;
    h[6] = 58; // ICMPv6
    return h;
}

TraceTarget target(const char* address) {
    std::string error;
    return *resolveTraceTarget(address, error);
}

struct Case {
    const char* name;
    const char* target;
    ProbeMethod method;
    Bytes message;
    const char* from;
    bool accepted;
    ProbeAnswerKind kind;
    std::uint16_t tag;
    std::size_t flip; // a byte whose change makes the message not ours (0: none)
};

TEST(ProbeParse, AcceptsOnlyWholeAnswersToOurProbes) {
    const std::uint16_t id = 0x1234;
    const Bytes icmpError = {11, 0, 0, 0, 0, 0, 0, 0};
    const Bytes unreachable = {3, 1, 0, 0, 0, 0, 0, 0};
    const Case cases[] = {
        {"raw v4 time exceeded", "10.0.0.9", ProbeMethod::Raw,
         join({ipv4Header(1, 10, 0, 0, 1), icmpError, ipv4Header(1, 10, 0, 0, 2), echo(8, id, 7)}),
         "10.0.0.1", true, ProbeAnswerKind::HopExpired, 7, 20 + 8 + 20 + 4},
        {"raw v4 unreachable", "10.0.0.9", ProbeMethod::Raw,
         join({ipv4Header(1, 10, 0, 0, 1), unreachable, ipv4Header(1, 10, 0, 0, 2), echo(8, id, 9)}),
         "10.0.0.1", true, ProbeAnswerKind::Unreachable, 9, 20 + 8 + 9},
        {"raw v4 echo reply", "10.0.0.9", ProbeMethod::Raw,
         join({ipv4Header(1, 10, 0, 0, 9), echo(0, id, 8)}), "10.0.0.9", true, ProbeAnswerKind::Reached, 8,
         20 + 5},
        {"raw v4 echo reply from another host",
         "10.0.0.9",
         ProbeMethod::Raw,
         join({ipv4Header(1, 10, 0, 0, 8), echo(0, id, 8)}),
         "10.0.0.8",
         false,
         {},
         0,
         0},
        {"raw v4 header length below 20",
         "10.0.0.9",
         ProbeMethod::Raw,
         [&] {
             Bytes m = join({ipv4Header(1, 10, 0, 0, 9), echo(0, id, 8)});
             m[0] = 0x44;
             return m;
         }(),
         "10.0.0.9",
         false,
         {},
         0,
         0},
        {"raw v6 time exceeded", "fd00::9", ProbeMethod::Raw,
         join({{3, 0, 0, 0, 0, 0, 0, 0}, ipv6Header(), echo(128, id, 5)}), "fd00::1", true,
         ProbeAnswerKind::HopExpired, 5, 8 + 6},
        {"raw v6 echo reply", "fd00::9", ProbeMethod::Raw, echo(129, id, 6), "fd00::9", true,
         ProbeAnswerKind::Reached, 6, 4},
        {"datagram v4 echo reply (the kernel's identifier)", "10.0.0.9", ProbeMethod::Datagram,
         echo(0, 0x9999, 3), "10.0.0.9", true, ProbeAnswerKind::Reached, 3, 0},
        {"datagram socket: errors come from the error queue only",
         "10.0.0.9",
         ProbeMethod::Datagram,
         join({icmpError, ipv4Header(1, 10, 0, 0, 2), echo(8, id, 7)}),
         "10.0.0.1",
         false,
         {},
         0,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TraceTarget to = target(c.target);
        const auto answer = parseProbeMessage(to, c.method, id, c.message, c.from);
        ASSERT_EQ(answer.has_value(), c.accepted);
        if (!c.accepted) continue;
        EXPECT_EQ(answer->kind, c.kind);
        EXPECT_EQ(answer->tag, c.tag);
        EXPECT_EQ(answer->from, c.from);
        // Every shorter read is refused (and read within its bounds: the sanitizer builds watch).
        for (std::size_t n = 0; n < c.message.size(); ++n) {
            const Bytes cut(c.message.begin(), c.message.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_FALSE(parseProbeMessage(to, c.method, id, cut, c.from)) << "cut at " << n;
        }
        if (c.flip != 0) {
            Bytes other = c.message;
            other[c.flip] ^= 0x40;
            EXPECT_FALSE(parseProbeMessage(to, c.method, id, other, c.from)) << "byte " << c.flip;
        }
    }
}

} // namespace
