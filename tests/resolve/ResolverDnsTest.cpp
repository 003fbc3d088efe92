// The real resolver against a DNS server of the test's own, in a network namespace of its own
// (tests/support/netns-run.sh): the platform's answers become the Windows Sockets codes.
#include "resolve/LookupBoxes.h"
#include "resolve/ResolverLib.h"
#include "resolve/WinsockIntf.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

using namespace orvex;

class ResolverDns : public ::testing::Test {
protected:
    void SetUp() override { previous = installSocketApi(std::make_unique<TWinsockIntf11>()); }
    void TearDown() override { installSocketApi(std::move(previous)); }
    std::unique_ptr<TWinsockIntfBase> previous;
};

TEST_F(ResolverDns, ForwardAnswersFromServerAndHostsFile) {
    std::string text;
    EXPECT_EQ(TResolverLib::HostToAddress("a.orvex.test", text), ::inet_addr("10.77.0.7"));
    EXPECT_EQ(text, "10.77.0.7");
    EXPECT_EQ(TResolverLib::HostToAddress("hosts.orvex.test", text), ::inet_addr("10.77.0.5"));
    EXPECT_EQ(text, "10.77.0.5");
    const std::pair<const char*, int> failures[] = {
        {"nosuch.orvex.test", 11001}, {"txt.orvex.test", 11004}, {"refused.example", 11002}};
    for (auto [failing, code] : failures) {
        EXPECT_EQ(TResolverLib::HostToAddress(failing, text), 0u) << failing;
        EXPECT_EQ(text, failing);
        EXPECT_EQ(SocketApi->WSAGetLastError(), code) << failing;
    }
}

TEST_F(ResolverDns, ForwardBoxNoticeForEveryKindOfFailure) {
    for (const char* failing : {"nosuch.orvex.test", "txt.orvex.test", "refused.example"}) {
        const LookupOutcome outcome = forwardLookup(std::string("http://") + failing + "/");
        EXPECT_EQ(outcome.kind, LookupOutcome::Kind::NotFound);
        EXPECT_EQ(outcome.notice,
                  std::string("Der Hostname \" ") + failing + " \"  konnte nicht aufgelöst werden.");
    }
}

TEST_F(ResolverDns, ReverseAnswersAndErrorCodes) {
    EXPECT_EQ(TResolverLib::AddressToHost("10.77.0.7"), "a.orvex.test");
    EXPECT_EQ(TResolverLib::AddressToHost("10.77.0.5"), "hosts.orvex.test");
    // A reverse name that exists without PTR record is "no data": an empty name, no error.
    EXPECT_EQ(TResolverLib::AddressToHost("10.77.0.8"), "");
    const LookupOutcome nodata = reverseLookup("10.77.0.8");
    EXPECT_EQ(nodata.kind, LookupOutcome::Kind::NotFound);
    EXPECT_EQ(nodata.notice, "Die IP-Adresse \" 10.77.0.8 \"  konnte nicht aufgelöst werden.");
    // An address without any reverse name: the server says it does not exist.
    try {
        TResolverLib::AddressToHost("10.77.0.99");
        FAIL() << "no error";
    } catch (const EResolverSocketError& e) {
        EXPECT_EQ(e.Code, 11001);
        EXPECT_EQ(e.Message, "Socket Error #11001\r\nHost not found.");
    }
    // An address outside the server's zone: it refuses, which is a temporary failure.
    try {
        TResolverLib::AddressToHost("192.0.2.1");
        FAIL() << "no error";
    } catch (const EResolverSocketError& e) {
        EXPECT_EQ(e.Code, 11002);
    }
}

TEST_F(ResolverDns, Ipv6NamesAndReverseZone) {
    const std::pair<const char*, const char*> forward[] = {
        {"v6.orvex.test", "2001:db8:77::7"}, // no IPv4 address: the IPv6 one
        {"dual.orvex.test", "10.77.0.9"},    // IPv4 first, exactly as before
        {"peer.orvex.test", "2001:db8::2"},
    };
    for (auto [name, address] : forward) {
        const LookupOutcome outcome = forwardLookup(name);
        EXPECT_EQ(outcome.kind, LookupOutcome::Kind::Found) << name;
        EXPECT_EQ(outcome.result, address) << name;
    }
    const std::pair<const char*, const char*> reverse[] = {
        {"2001:db8:77::7", "v6.orvex.test"},
        {"[2001:0db8:0077:0000:0000:0000:0000:0009]", "dual.orvex.test"},
        {"2001:db8::2", "peer.orvex.test"},
        {"::1", "localhost"},
    };
    for (auto [address, name] : reverse)
        EXPECT_EQ(reverseLookup(address).result, name) << address;
    const LookupOutcome nodata = reverseLookup("2001:db8:77::8");
    EXPECT_EQ(nodata.kind, LookupOutcome::Kind::NotFound);
    EXPECT_EQ(nodata.notice, "Die IP-Adresse \" 2001:db8:77::8 \"  konnte nicht aufgelöst werden.");
    const std::pair<const char*, int> failures[] = {{"2001:db8:77::99", 11001}, {"2001:db9::1", 11002}};
    for (auto [address, code] : failures) {
        try {
            TResolverLib::AddressToHost(address);
            ADD_FAILURE() << address << ": no error";
        } catch (const EResolverSocketError& e) {
            EXPECT_EQ(e.Code, code) << address;
            EXPECT_EQ(e.Message, resolverErrorMessage(code)) << address;
        }
    }
}
