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
