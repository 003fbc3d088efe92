#include "netinfo/AdapterBoxes.h"
#include "tests/netinfo/FakeNetworkAdapters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvex;
using test::FakeNetworkAdapters;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using Strings = std::vector<std::string>;
using Status = GatewayQuery::Status;

} // namespace

TEST(AdapterBoxes, TextFormats) {
    struct Hw {
        HardwareAddress address;
        const char* text;
    };
    for (const Hw& c : {Hw{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "00-1A-2B-3C-4D-5E"},
                        Hw{{0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f}, "0A-0B-0C-0D-0E-0F"},
                        Hw{{0xff, 0xfe, 0x00, 0x01, 0x10, 0xab}, "FF-FE-00-01-10-AB"}})
        EXPECT_EQ(formatHardwareAddress(c.address), c.text);

    struct Ip {
        Ipv4Address address;
        const char* text;
    };
    for (const Ip& c : {Ip{{192, 0, 2, 1}, "192.0.2.1"}, Ip{{10, 0, 0, 5}, "10.0.0.5"},
                        Ip{{0, 0, 0, 0}, "0.0.0.0"}, Ip{{255, 255, 255, 255}, "255.255.255.255"}})
        EXPECT_EQ(formatIpv4(c.address), c.text);
}

TEST(AdapterBoxes, FailureEntryIsOneCharacterFromTheReturnCode) {
    struct Case {
        int code;
        char entry;
    };
    for (const Case& c : {Case{0x23, '\xDD'}, Case{0x40, '\xC0'}, Case{0x01, '\xFF'}, Case{0xFF, '\x01'}}) {
        const std::string entry = adapterFailureEntry(c.code);
        ASSERT_EQ(entry.size(), 1u) << c.code;
        EXPECT_EQ(entry[0], c.entry) << c.code;
    }
}

TEST(AdapterBoxes, GatewayTextIsCutAtNulAndTrimmed) {
    using namespace std::string_literals;
    struct Case {
        std::string raw;
        std::string shown;
    };
    for (const Case& c :
         {Case{"192.168.178.1", "192.168.178.1"}, Case{" \t10.0.0.1\r\n ", "10.0.0.1"},
          Case{"10.0.0.1\0garbage"s, "10.0.0.1"}, Case{"", ""}, Case{"\0\0\0"s, ""}, Case{"   ", ""},
          Case{"\x7f"
               "1.2.3.4",
               "\x7f"
               "1.2.3.4"},
          Case{"255.255.255.255 trailing", "255.255.255.255"}})
        EXPECT_EQ(cleanGatewayText(c.raw), c.shown) << c.raw;
}

TEST(LocalAddressBox, ListsEveryAddressInOrderAndHandsTheFirstOn) {
    FakeNetworkAdapters adapters;
    EXPECT_EQ(ListLocalAddresses(adapters), "");
    const ComboUpdate none = localAddressUpdate(adapters);
    EXPECT_TRUE(none.replaceEntries);
    EXPECT_THAT(none.entries, IsEmpty());
    EXPECT_TRUE(none.copyText); // the fields become empty with the combo
    EXPECT_FALSE(none.openList);

    adapters.addresses = {{192, 0, 2, 7}};
    EXPECT_EQ(ListLocalAddresses(adapters), "192.0.2.7\r\n");
    EXPECT_THAT(localAddressUpdate(adapters).entries, ElementsAre("192.0.2.7"));

    adapters.addresses = {{192, 0, 2, 7}, {10, 0, 0, 1}, {172, 16, 0, 9}};
    EXPECT_EQ(ListLocalAddresses(adapters), "192.0.2.7\r\n10.0.0.1\r\n172.16.0.9\r\n");
    const ComboUpdate several = localAddressUpdate(adapters);
    EXPECT_THAT(several.entries, ElementsAre("192.0.2.7", "10.0.0.1", "172.16.0.9"));
    EXPECT_TRUE(several.copyText);
    EXPECT_FALSE(several.openList);
}

TEST(HardwareAddressBox, NoAdaptersLeavesAnEmptyClosedList) {
    FakeNetworkAdapters adapters;
    const ComboUpdate update = hardwareAddressUpdate(adapters);
    EXPECT_TRUE(update.replaceEntries);
    EXPECT_THAT(update.entries, IsEmpty());
    EXPECT_FALSE(update.openList);
    EXPECT_FALSE(update.copyText);
    EXPECT_THAT(adapters.calls, IsEmpty());
}

TEST(HardwareAddressBox, EveryNumberGivesOneEntryAndFailuresDoNotStopTheWalk) {
    FakeNetworkAdapters adapters;
    adapters.numbers = {2, 3, 5, 7, 9, 2};
    adapters.adapters[2].address = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    adapters.adapters[3] = {{0xAA, 0, 0, 0, 0, 1}, kAdapterSystemError, kAdapterOk}; // reset fails
    adapters.adapters[5] = {{0xAA, 0, 0, 0, 0, 2}, kAdapterOk, kAdapterInvalid};     // status fails
    adapters.adapters[7].address = {0x02, 0x00, 0x00, 0x00, 0x00, 0x07};
    // 9 is gone by the time it is asked.
    const ComboUpdate update = hardwareAddressUpdate(adapters);
    EXPECT_THAT(update.entries, ElementsAre("00-1A-2B-3C-4D-5E", "\xC0", "\xDD", "02-00-00-00-00-07", "\xDD",
                                            "00-1A-2B-3C-4D-5E")); // reachable twice, listed twice
    EXPECT_TRUE(update.openList);
    EXPECT_FALSE(update.copyText);
    EXPECT_THAT(adapters.calls, ElementsAre("reset 2", "status 2", "reset 3", "reset 5", "status 5",
                                            "reset 7", "status 7", "reset 9", "reset 2", "status 2"));
}

TEST(HardwareAddressBox, AtMost255AdapterNumbers) {
    FakeNetworkAdapters adapters;
    for (unsigned n = 1; n <= 300; ++n)
        adapters.numbers.push_back(n);
    const LanaEnum list = ReadLanaEnum(adapters);
    ASSERT_EQ(list.lana.size(), 255u);
    EXPECT_EQ(list.lana.back(), 255u);
}

TEST(GatewayBox, EveryAdapterContributesEvenWithoutGateway) {
    FakeNetworkAdapters adapters;
    adapters.listGateways({{3, "eth1", {}},
                           {4, "eth2", {" 192.168.1.1 ", "192.168.1.2"}},
                           {5, "wlan0", {"192.168.1.1"}},
                           {6, "usb0", {"0.0.0.0"}}});
    for (bool open : {true, false}) {
        const ComboUpdate update = gatewayUpdate(adapters, open);
        EXPECT_TRUE(update.replaceEntries);
        // The empty entry of the first adapter comes first: it is the one selected and handed on.
        EXPECT_THAT(update.entries, ElementsAre("", "192.168.1.1", "192.168.1.2", "192.168.1.1", "0.0.0.0"));
        EXPECT_EQ(update.openList, open);
        EXPECT_TRUE(update.copyText);
    }
}

TEST(GatewayBox, FailedQueriesKeepTheList) {
    struct Case {
        Status status;
        bool copyText;
    };
    for (const Case& c : {Case{Status::NoAdapters, false}, Case{Status::InterfacesUnreadable, false},
                          Case{Status::RoutesUnreadable, true}}) {
        FakeNetworkAdapters adapters;
        adapters.gatewayAnswer.status = c.status;
        adapters.gatewayAnswer.adapters = {{2, "eth0", {"10.0.0.1"}}}; // ignored unless listed
        for (bool open : {true, false}) {
            const ComboUpdate update = gatewayUpdate(adapters, open);
            EXPECT_FALSE(update.replaceEntries) << int(c.status);
            EXPECT_THAT(update.entries, IsEmpty());
            EXPECT_FALSE(update.openList);
            EXPECT_EQ(update.copyText, c.copyText) << int(c.status);
        }
    }
}

TEST(AdapterBoxes, Ipv6AddressesAndRoutersFollowTheIpv4Ones) {
    FakeNetworkAdapters adapters;
    adapters.addresses = {{192, 0, 2, 7}};
    adapters.addresses6 = {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
                           {0xfd, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x0a, 0xbc}};
    EXPECT_EQ(ListLocalAddresses(adapters), "192.0.2.7\r\n2001:db8::1\r\nfd00:0:0:1::abc\r\n");
    adapters.addresses.clear();
    EXPECT_THAT(localAddressUpdate(adapters).entries, ElementsAre("2001:db8::1", "fd00:0:0:1::abc"));

    // IPv6 texts are not cut to the 16-character IPv4 field; an IPv6-only adapter has no IPv4 entry
    // and comes after every adapter with IPv4, so the first entry (the one handed on) is unchanged.
    adapters.listGateways({{1, "wlan0", {}, {"2001:db8::1"}},
                           {2, "eth0", {"10.0.0.1"}, {"fe80::1%eth0", "2001:db8:aaaa:bbbb:cccc:dddd:eeee:1"}},
                           {4, "eth2", {"0.0.0.0"}, {}}});
    EXPECT_THAT(gatewayUpdate(adapters, false).entries,
                ElementsAre("10.0.0.1", "fe80::1%eth0", "2001:db8:aaaa:bbbb:cccc:dddd:eeee:1", "0.0.0.0",
                            "2001:db8::1"));
}
