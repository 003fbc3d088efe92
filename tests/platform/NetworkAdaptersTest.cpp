// The Linux adapter source against what `ip` prints on the same machine, and in network namespaces
// the test builds itself with several adapters and default routes.
#include "platform/NetworkAdapters.h"
#include "tests/platform/AdapterFacts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

using namespace orvex;
using namespace orvex::test;

TEST(LinuxNetworkAdapters, AgreeWithTheIpToolOnThisMachine) {
    auto adapters = makeSystemNetworkAdapters();
    const Facts ours = factsFromSource(*adapters);
    const Facts ip = factsFromIpTool();
    EXPECT_EQ(ours.addresses, ip.addresses);
    EXPECT_EQ(ours.hardware, ip.hardware);
    EXPECT_EQ(ours.gateways, ip.gateways);
}

TEST(LinuxNetworkAdapters, UnknownAndLoopbackNumbersAreInvalid) {
    auto adapters = makeSystemNetworkAdapters();
    HardwareAddress untouched{1, 2, 3, 4, 5, 6};
    for (unsigned number : {0u, 1u /* loopback */, 0x7ffffff0u}) {
        EXPECT_EQ(adapters->resetAdapter(number), kAdapterInvalid) << number;
        EXPECT_EQ(adapters->adapterStatus(number, untouched), kAdapterInvalid) << number;
    }
    EXPECT_EQ(untouched, (HardwareAddress{1, 2, 3, 4, 5, 6}));
    for (unsigned number : adapters->hardwareAdapters())
        EXPECT_EQ(adapters->resetAdapter(number), kAdapterOk) << number;
}

namespace {

// `out`: our facts and the ip tool's, a line each, as a namespace child returned them. Returns ours.
std::string expectOursAsTheIpTool(const std::string& out) {
    std::istringstream lines(out);
    std::string ours, ip;
    std::getline(lines, ours);
    std::getline(lines, ip);
    EXPECT_EQ(ours, ip);
    return ours;
}

} // namespace

TEST(LinuxNetworkAdapters, SeveralAdaptersAndGatewaysInANamespace) {
    const std::string out = inOwnNetworkNamespace([]() -> std::string {
        if (std::system(kSeveralAdaptersSetup) != 0)
            return "SKIP could not build the namespace (veth missing?)";
        auto adapters = makeSystemNetworkAdapters();
        return factsFromSource(*adapters).describe() + "\n" + factsFromIpTool().describe();
    });
    if (out.rfind("SKIP", 0) == 0) GTEST_SKIP() << out;
    const std::string ours = expectOursAsTheIpTool(out);
    // Hardware addresses and gateways in interface-index order; the table-7 route is not the
    // main table's; each gateway once per interface; an interface without one shows 0.0.0.0.
    EXPECT_NE(ours.find(" hardware=02-00-00-00-00-03,02-00-00-00-00-02,00-0A-0B-0C-0D-0E,02-00-00-00-00-01 "
                        "gateways=w0=0.0.0.0,v0=10.1.0.1,v0=10.1.0.254,v1=10.2.0.1"),
              std::string::npos)
        << ours;
}

TEST(LinuxNetworkAdapters, Ipv6AgreesWithTheIpToolOnThisMachine) {
    auto adapters = makeSystemNetworkAdapters();
    EXPECT_EQ(ipv6FactsFromSource(*adapters), ipv6FactsFromIpTool());
}

TEST(LinuxNetworkAdapters, Ipv6AddressesAndRoutersInANamespace) {
    const std::string out = inOwnNetworkNamespace([]() -> std::string {
        if (std::system(kIpv6AdaptersSetup) != 0) return "SKIP could not build the namespace (veth missing?)";
        auto adapters = makeSystemNetworkAdapters();
        return ipv6FactsFromSource(*adapters) + "\n" + ipv6FactsFromIpTool();
    });
    if (out.rfind("SKIP", 0) == 0) GTEST_SKIP() << out;
    expectOursAsTheIpTool(out);
}
