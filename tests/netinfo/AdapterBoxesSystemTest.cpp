// The three adapter boxes over the Linux adapter source, in network namespaces the test builds
// itself with several adapters and default routes (tests/platform/AdapterFacts.h).
#include "netinfo/AdapterBoxes.h"
#include "platform/NetworkAdapters.h"
#include "tests/platform/AdapterFacts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace orvex;
using namespace orvex::test;

TEST(AdapterBoxesOnLinux, SeveralAdaptersAndGatewaysInANamespace) {
    const std::string boxes = inOwnNetworkNamespace([]() -> std::string {
        if (std::system(kSeveralAdaptersSetup) != 0)
            return "SKIP could not build the namespace (veth missing?)";
        auto adapters = makeSystemNetworkAdapters();
        return "local=" + join(localAddressUpdate(*adapters).entries) +
               " hardware=" + join(hardwareAddressUpdate(*adapters).entries) +
               " gateways=" + join(gatewayUpdate(*adapters, false).entries);
    });
    if (boxes.rfind("SKIP", 0) == 0) GTEST_SKIP() << boxes;
    const std::vector<std::string> expectedLocal = {"10.1.0.2", "10.1.0.3", "10.2.0.2", "10.3.0.2"};
    const std::string localList = boxes.substr(6, boxes.find(' ') - 6);
    std::vector<std::string> local;
    std::istringstream localWords(localList);
    for (std::string address; std::getline(localWords, address, ',');)
        local.push_back(address);
    std::sort(local.begin(), local.end());
    EXPECT_EQ(local, expectedLocal) << boxes;
    EXPECT_NE(boxes.find(" hardware=02-00-00-00-00-03,02-00-00-00-00-02,00-0A-0B-0C-0D-0E,02-00-00-00-00-01 "
                         "gateways=0.0.0.0,10.1.0.1,10.1.0.254,10.2.0.1"),
              std::string::npos)
        << boxes;
}

TEST(AdapterBoxesOnLinux, Ipv6AddressesAndRoutersInANamespace) {
    const std::string boxes = inOwnNetworkNamespace([]() -> std::string {
        if (std::system(kIpv6AdaptersSetup) != 0) return "SKIP could not build the namespace (veth missing?)";
        auto adapters = makeSystemNetworkAdapters();
        return "local=" + join(localAddressUpdate(*adapters).entries) +
               " gateways=" + join(gatewayUpdate(*adapters, false).entries);
    });
    if (boxes.rfind("SKIP", 0) == 0) GTEST_SKIP() << boxes;
    // Link-local addresses are not listed; v0's IPv4 entry comes first; v1 has only IPv6 routers;
    // the multipath route adds a router to each interface; table 7 is not the main table.
    EXPECT_EQ(boxes, "local=10.1.0.2,fd00:1::2,2001:db8:1::2,2001:db8:2::2 "
                     "gateways=0.0.0.0,2001:db8:1::1,2001:db8:1::9,fe80::1%v1,fe80::2%v1");
}
