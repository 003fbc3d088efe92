#include "resolve/ResolverLib.h"
#include "resolve/WinsockIntf.h"
#include "tests/support/FakeWinsock.h"

#include <arpa/inet.h>
#include <atomic>
#include <barrier>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace orvex;
using orvex::test::ScopedFakeWinsock;

TEST(ResolverLib, LocalhostInAnyCaseNeedsNoResolver) {
    ScopedFakeWinsock fake;
    for (const char* name : {"LOCALHOST", "localhost", "LocalHost"}) {
        std::string text;
        EXPECT_EQ(TResolverLib::HostToAddress(name, text), ::inet_addr("127.0.0.1"));
        EXPECT_EQ(text, "127.0.0.1");
    }
    EXPECT_EQ(TResolverLib::AddressToHost("127.0.0.1"), "LOCALHOST");
    EXPECT_TRUE(fake->forwardQueries.empty());
    EXPECT_TRUE(fake->reverseQueries.empty());
}

TEST(ResolverLib, DottedInputIsReturnedUnchangedWithoutQuery) {
    ScopedFakeWinsock fake;
    std::string text;
    EXPECT_EQ(TResolverLib::HostToAddress("10.1.2.3", text), ::inet_addr("10.1.2.3"));
    EXPECT_EQ(text, "10.1.2.3");
    // 0.0.0.0 is an address, but the value 0 is the failure value.
    EXPECT_EQ(TResolverLib::HostToAddress("0.0.0.0", text), 0u);
    EXPECT_TRUE(fake->forwardQueries.empty());
}

TEST(ResolverLib, ForwardLookupTakesTheFirstAddressOrFailsQuietly) {
    ScopedFakeWinsock fake;
    fake->names["multi.example"] = {"192.0.2.7", "192.0.2.8"};
    std::string text;
    EXPECT_EQ(TResolverLib::HostToAddress("multi.example", text), ::inet_addr("192.0.2.7"));
    EXPECT_EQ(text, "192.0.2.7");
    for (int code : {WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA}) {
        fake->forwardError = code;
        EXPECT_EQ(TResolverLib::HostToAddress(" nosuch.example", text), 0u);
        EXPECT_EQ(text, " nosuch.example"); // blanks are not trimmed; the text stays as entered
    }
}

TEST(ResolverLib, ReverseLookupErrorsOtherThanNoDataRaise) {
    ScopedFakeWinsock fake;
    fake->addresses["192.0.2.1"] = "gw.example";
    EXPECT_EQ(TResolverLib::AddressToHost("192.0.2.1"), "gw.example");
    fake->reverseError = WSANO_DATA;
    EXPECT_EQ(TResolverLib::AddressToHost("192.0.2.2"), "");
    fake->reverseError = WSAHOST_NOT_FOUND;
    try {
        TResolverLib::AddressToHost("192.0.2.2");
        FAIL() << "no error raised";
    } catch (const EResolverSocketError& e) {
        EXPECT_EQ(e.Code, 11001);
        EXPECT_EQ(e.Message, "Socket Error #11001\r\nHost not found.");
    }
    // A text that is not dotted becomes the all-ones address and is looked up all the same.
    fake->reverseError = WSANO_DATA;
    EXPECT_EQ(TResolverLib::AddressToHost("router.example"), "");
    EXPECT_EQ(fake->reverseQueries.back(), "255.255.255.255");
}

TEST(ResolverLib, ErrorTextTableAndMessageForm) {
    EXPECT_EQ(SocketErrorText(10035), "Operation would block. ");
    EXPECT_EQ(SocketErrorText(10066), "Directory not empty");
    EXPECT_EQ(SocketErrorText(11004), "Valid name, no data record (check DNS setup).");
    EXPECT_EQ(SocketErrorText(10092), "WINSOCK DLL Version out of range.");
    EXPECT_EQ(SocketErrorText(10000), "");
    EXPECT_EQ(SocketErrorText(0), "");
    EXPECT_EQ(resolverErrorMessage(11002),
              "Socket Error #11002\r\nNon-authoritative response (try again or check DNS setup).");
    EXPECT_EQ(resolverErrorMessage(12345), "Socket Error #12345\r\n");
    EXPECT_EQ(resolverErrorToWinsock(HOST_NOT_FOUND), 11001);
    EXPECT_EQ(resolverErrorToWinsock(TRY_AGAIN), 11002);
    EXPECT_EQ(resolverErrorToWinsock(NO_RECOVERY), 11003);
    EXPECT_EQ(resolverErrorToWinsock(NO_DATA), 11004);
}

TEST(ResolverLib, FormatDottedAddressUsesMemoryOrderWithoutLeadingZeros) {
    EXPECT_EQ(FormatDottedAddress(::inet_addr("10.0.20.255")), "10.0.20.255");
    EXPECT_EQ(FormatDottedAddress(0), "0.0.0.0");
}

// The real resolver, on names this machine knows from /etc/hosts (no DNS query leaves the machine).
TEST(ResolverLibReal, NamesFromTheHostsFileResolveBothWays) {
    auto previous = installSocketApi(std::make_unique<TWinsockIntf11>());
    std::ifstream hosts("/etc/hosts");
    std::string line;
    char ownName[256] = {};
    ::gethostname(ownName, sizeof ownName - 1);
    bool ownNameListed = false;
    while (std::getline(hosts, line)) {
        std::istringstream fields(line);
        std::string address, name;
        if (!(fields >> address) || address[0] == '#' || address.find(':') != std::string::npos) continue;
        while (fields >> name && name[0] != '#') {
            if (name == ownName) ownNameListed = true;
            std::string text;
            const std::uint32_t found = TResolverLib::HostToAddress(name, text);
            EXPECT_NE(found, 0u) << name;
            EXPECT_EQ(text, FormatDottedAddress(found)) << name;
        }
        // 127.0.0.1 is answered as LOCALHOST without asking; other listed addresses have a name.
        if (address != "127.0.0.1") {
            EXPECT_FALSE(TResolverLib::AddressToHost(address).empty()) << address;
        }
    }
    if (ownNameListed) {
        std::string text;
        EXPECT_NE(TResolverLib::HostToAddress(ownName, text), 0u);
    }
    std::string text;
    EXPECT_EQ(TResolverLib::HostToAddress("localhost", text), ::inet_addr("127.0.0.1"));
    installSocketApi(std::move(previous));
}

// Two lookups on two threads at once, as an abandoned lookup and the next one are: each thread
// keeps its own host entry and its own last error. Numeric names are answered by the C library
// without any query.
TEST(ResolverLibReal, EachThreadKeepsItsOwnEntryAndLastError) {
    TWinsockIntf11 api;
    constexpr int kRounds = 300;
    std::barrier step(2);
    std::atomic<int> faults{0};
    auto lookups = [&](const char* name, std::uint32_t address, bool failFirst) {
        for (int i = 0; i < kRounds; ++i) {
            if (failFirst) api.connect(-1, nullptr, 0); // EBADF: 10009 for this thread only
            const hostent* entry = api.gethostbyname(name);
            step.arrive_and_wait(); // both entries are filled before either is read
            std::uint32_t found = 0;
            if (entry != nullptr && entry->h_length == 4) std::memcpy(&found, entry->h_addr_list[0], 4);
            if (entry == nullptr || std::strcmp(entry->h_name, name) != 0 || found != address) ++faults;
            if (api.WSAGetLastError() != (failFirst ? 10009 : 0)) ++faults;
            step.arrive_and_wait();
        }
    };
    std::thread other(lookups, "127.0.0.2", ::inet_addr("127.0.0.2"), true);
    lookups("127.0.0.1", ::inet_addr("127.0.0.1"), false);
    other.join();
    EXPECT_EQ(faults.load(), 0);
}
