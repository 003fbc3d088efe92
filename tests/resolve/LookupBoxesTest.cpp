#include "resolve/LookupBoxes.h"
#include "resolve/ResolverLib.h"
#include "tests/support/FakeWinsock.h"

#include <gtest/gtest.h>

using namespace orvex;
using orvex::test::ScopedFakeWinsock;
using Kind = LookupOutcome::Kind;

TEST(LookupBoxes, InputCleanUp) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://www.example.org/", "www.example.org"},
        {"http://example.org/a/b", "example.orgab"}, // a path is glued to the host
        {"ftp://ftp.example.org", "example.org"},    // the first label goes with the prefix
        {"ftp://files.example.org", "ftp:files.example.org"},
        {"HTTP://Example.org", "HTTP:Example.org"}, // a capital scheme keeps its letters
        {" host ", " host "},                       // blanks stay
        {"//", ""},
    };
    for (auto [input, cleaned] : cases)
        EXPECT_EQ(cleanHostInput(input), cleaned) << input;
}

TEST(LookupBoxes, ForwardBox) {
    ScopedFakeWinsock fake;
    fake->names["www.example.org"] = {"192.0.2.80"};

    auto empty = forwardLookup("http:///");
    EXPECT_EQ(empty.kind, Kind::EmptyInput);
    EXPECT_EQ(empty.input, "");
    EXPECT_EQ(empty.notice, "Bitte erst einen Hostnamen/Webadresse eingeben: z.B. www.debian.org");

    auto found = forwardLookup("https://www.example.org/");
    EXPECT_EQ(found.kind, Kind::Found);
    EXPECT_EQ(found.result, "192.0.2.80");

    auto dotted = forwardLookup("10.9.8.7");
    EXPECT_EQ(dotted.kind, Kind::Found);
    EXPECT_EQ(dotted.result, "10.9.8.7");

    auto zero = forwardLookup("0.0.0.0");
    EXPECT_EQ(zero.kind, Kind::NotFound);
    EXPECT_EQ(zero.notice, "Der Hostname \" 0.0.0.0 \"  konnte nicht aufgelöst werden.");

    auto local = forwardLookup("localhost");
    EXPECT_EQ(local.result, "127.0.0.1");
    EXPECT_EQ(fake->forwardQueries.size(), 1u); // only www.example.org reached the resolver
}

TEST(LookupBoxes, ReverseBox) {
    ScopedFakeWinsock fake;
    fake->addresses["192.0.2.1"] = "gw.example";

    auto empty = reverseLookup("");
    EXPECT_EQ(empty.kind, Kind::EmptyInput);
    EXPECT_EQ(empty.notice, "Bitte erst eine IP-Adresse eintragen: z.B. 192.168.178.1");

    EXPECT_EQ(reverseLookup("192.0.2.1").result, "gw.example");
    EXPECT_EQ(reverseLookup("127.0.0.1").result, "LOCALHOST");

    auto nodata = reverseLookup("192.0.2.9");
    EXPECT_EQ(nodata.kind, Kind::NotFound);
    EXPECT_EQ(nodata.notice, "Die IP-Adresse \" 192.0.2.9 \"  konnte nicht aufgelöst werden.");

    // Field text is Windows-1252; the notice shows it as the user typed it.
    EXPECT_EQ(reverseLookup("\xe4").notice, "Die IP-Adresse \" ä \"  konnte nicht aufgelöst werden.");

    fake->reverseError = WSATRY_AGAIN;
    EXPECT_THROW(reverseLookup("192.0.2.9"), EResolverSocketError);
}

TEST(LookupBoxes, Ipv6AnswersWhereIpv4HasNone) {
    ScopedFakeWinsock fake;
    fake->names["dual.example"] = {"192.0.2.9"};
    fake->names6["dual.example"] = {"2001:db8::9"};
    fake->names6["six.example"] = {"2001:db8:0:0:0:0:0:7", "2001:db8::8"};
    fake->addresses["2001:db8::7"] = "six.example";

    const std::pair<const char*, const char*> forward[] = {
        {"dual.example", "192.0.2.9"},      // IPv4 first, as before
        {"six.example", "2001:db8::7"},     // first IPv6 address, compressed
        {"[2001:DB8:0::1]", "2001:db8::1"}, // an address text needs no query
        {"http://[::1]/", "::1"},
        {"[FE80:0::1%eth0]", "fe80::1%eth0"}, // the zone is kept for the ping box
    };
    for (auto [input, result] : forward) {
        const auto outcome = forwardLookup(input);
        EXPECT_EQ(outcome.kind, Kind::Found) << input;
        EXPECT_EQ(outcome.result, result) << input;
    }
    EXPECT_EQ(fake->forwardQueries6, std::vector<std::string>{"six.example"});
    EXPECT_EQ(fake->forwardQueries, (std::vector<std::string>{"dual.example", "six.example"}));

    // A failure that says nothing about the name is not asked again for IPv6.
    fake->forwardError = WSATRY_AGAIN;
    EXPECT_EQ(forwardLookup("six.example").kind, Kind::NotFound);
    EXPECT_EQ(fake->forwardQueries6.size(), 1u);

    for (const char* text : {"2001:db8::7", "2001:0DB8:0000:0000:0000:0000:0000:0007", "[2001:db8::7]"})
        EXPECT_EQ(reverseLookup(text).result, "six.example") << text;
    EXPECT_EQ(fake->reverseQueries.back(), "2001:db8::7");
    EXPECT_EQ(reverseLookup("[2001:db8::5]").notice,
              "Die IP-Adresse \" [2001:db8::5] \"  konnte nicht aufgelöst werden.");
    fake->reverseError = WSAHOST_NOT_FOUND;
    try {
        reverseLookup("2001:db8::5");
        FAIL() << "no error";
    } catch (const EResolverSocketError& e) {
        EXPECT_EQ(e.Message, "Socket Error #11001\r\nHost not found.");
    }
}
