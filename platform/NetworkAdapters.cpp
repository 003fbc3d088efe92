#include "platform/NetworkAdapters.h"

#include "platform/RtNetlink.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

#include <linux/rtnetlink.h>
#include <net/if.h>

namespace orvex {

namespace {

using rtnetlink::LinkRecord;

constexpr std::size_t kHardwareAddressLength = std::tuple_size_v<HardwareAddress>;

bool isLoopback(const LinkRecord& link) {
    return (link.flags & IFF_LOOPBACK) != 0;
}

bool carriesHardwareAddress(const LinkRecord& link) {
    return !isLoopback(link) && link.hardwareAddress.size() == kHardwareAddressLength;
}

std::set<unsigned> loopbackIndexes(const std::vector<LinkRecord>& links) {
    std::set<unsigned> indexes;
    for (const LinkRecord& link : links)
        if (isLoopback(link)) indexes.insert(link.index);
    return indexes;
}

std::string dotted(const Ipv4Address& address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
    return text;
}

class LinuxNetworkAdapters final : public NetworkAdapters {
public:
    std::vector<Ipv4Address> ownAddresses() override {
        std::vector<LinkRecord> links;
        std::vector<rtnetlink::AddressRecord> records;
        if (!rtnetlink::dumpLinks(links) || !rtnetlink::dumpIpv4Addresses(records)) return {};
        const std::set<unsigned> loopback = loopbackIndexes(links);
        std::vector<Ipv4Address> addresses;
        for (const auto& record : records)
            if (!loopback.contains(record.index)) addresses.push_back(record.address);
        return addresses;
    }

    std::vector<unsigned> hardwareAdapters() override {
        std::vector<LinkRecord> links;
        if (!rtnetlink::dumpLinks(links)) return {};
        std::vector<unsigned> numbers;
        for (const LinkRecord& link : links)
            if (carriesHardwareAddress(link)) numbers.push_back(link.index);
        std::sort(numbers.begin(), numbers.end());
        return numbers;
    }

    int resetAdapter(unsigned number) override {
        LinkRecord link;
        return readAdapter(number, link);
    }

    int adapterStatus(unsigned number, HardwareAddress& address) override {
        LinkRecord link;
        const int code = readAdapter(number, link);
        if (code == kAdapterOk) std::copy_n(link.hardwareAddress.begin(), address.size(), address.begin());
        return code;
    }

    GatewayQuery gateways() override {
        GatewayQuery query;
        std::vector<LinkRecord> links;
        std::vector<rtnetlink::AddressRecord> addresses;
        if (!rtnetlink::dumpLinks(links) || !rtnetlink::dumpIpv4Addresses(addresses)) {
            query.status = GatewayQuery::Status::InterfacesUnreadable;
            return query;
        }
        const std::set<unsigned> loopback = loopbackIndexes(links);
        std::set<unsigned> withIpv4;
        for (const auto& record : addresses)
            if (!loopback.contains(record.index)) withIpv4.insert(record.index);
        if (withIpv4.empty()) {
            query.status = GatewayQuery::Status::NoAdapters;
            return query;
        }
        for (unsigned index : withIpv4) { // std::set iterates in index order
            GatewayAdapter adapter;
            adapter.index = index;
            for (const LinkRecord& link : links)
                if (link.index == index) adapter.name = link.name;
            query.adapters.push_back(std::move(adapter));
        }

        std::vector<rtnetlink::RouteRecord> routes;
        if (!rtnetlink::dumpIpv4Routes(routes)) {
            query.status = GatewayQuery::Status::RoutesUnreadable;
            return query;
        }
        for (const auto& route : routes) {
            // The routes a user sees with `ip route`: the main table's unicast default routes.
            if (route.table != RT_TABLE_MAIN || route.prefixLength != 0 || route.type != RTN_UNICAST)
                continue;
            for (const auto& hop : route.nexthops) {
                if (!hop.gateway) continue;
                auto adapter = std::find_if(query.adapters.begin(), query.adapters.end(),
                                            [&](const GatewayAdapter& a) { return a.index == hop.index; });
                if (adapter == query.adapters.end()) continue;
                const std::string text = dotted(*hop.gateway);
                if (std::find(adapter->gateways.begin(), adapter->gateways.end(), text) ==
                    adapter->gateways.end())
                    adapter->gateways.push_back(text);
            }
        }
        for (GatewayAdapter& adapter : query.adapters)
            if (adapter.gateways.empty()) adapter.gateways.push_back("0.0.0.0");
        query.status = GatewayQuery::Status::Listed;
        return query;
    }

private:
    static int readAdapter(unsigned number, LinkRecord& link) {
        const int error = rtnetlink::getLink(number, link);
        if (error == ENODEV || error == ENXIO || error == EINVAL) return kAdapterInvalid;
        if (error != 0) return kAdapterSystemError;
        return carriesHardwareAddress(link) ? kAdapterOk : kAdapterInvalid;
    }
};

} // namespace

std::unique_ptr<NetworkAdapters> makeSystemNetworkAdapters() {
    return std::make_unique<LinuxNetworkAdapters>();
}

} // namespace orvex
