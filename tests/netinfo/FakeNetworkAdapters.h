// An adapter service whose answers a test sets, and which records the adapter calls it receives.
#pragma once

#include "platform/NetworkAdapters.h"

#include <map>
#include <string>
#include <vector>

namespace orvex::test {

class FakeNetworkAdapters : public NetworkAdapters {
public:
    struct Adapter {
        HardwareAddress address{};
        int resetCode = kAdapterOk;
        int statusCode = kAdapterOk;
    };

    std::vector<Ipv4Address> addresses;
    std::vector<Ipv6Address> addresses6;
    std::vector<unsigned> numbers;
    std::map<unsigned, Adapter> adapters; // a number missing here answers kAdapterInvalid
    GatewayQuery gatewayAnswer;
    std::vector<std::string> calls; // "reset 3", "status 3"

    std::vector<Ipv4Address> ownAddresses() override { return addresses; }
    std::vector<Ipv6Address> ownIpv6Addresses() override { return addresses6; }
    std::vector<unsigned> hardwareAdapters() override { return numbers; }
    int resetAdapter(unsigned number) override {
        calls.push_back("reset " + std::to_string(number));
        auto found = adapters.find(number);
        return found == adapters.end() ? kAdapterInvalid : found->second.resetCode;
    }
    int adapterStatus(unsigned number, HardwareAddress& address) override {
        calls.push_back("status " + std::to_string(number));
        auto found = adapters.find(number);
        if (found == adapters.end()) return kAdapterInvalid;
        if (found->second.statusCode == kAdapterOk) address = found->second.address;
        return found->second.statusCode;
    }
    GatewayQuery gateways() override { return gatewayAnswer; }

    void listGateways(std::vector<GatewayAdapter> list) {
        gatewayAnswer = GatewayQuery{GatewayQuery::Status::Listed, std::move(list)};
    }
};

} // namespace orvex::test
