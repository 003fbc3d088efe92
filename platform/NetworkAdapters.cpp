#include "platform/NetworkAdapters.h"

#include "platform/Ipv6Text.h"
#include "platform/RtNetlink.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <set>

#include <arpa/inet.h>
#include <linux/if_addr.h>
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

bool isLinkLocal(const Ipv6Address& address) {
    return address[0] == 0xfe && (address[1] & 0xc0) == 0x80;
}

// The addresses a user is reached under: global scope (which includes unique-local fc00::/7),
// never link-local, never a temporary address the kernel has already deprecated.
bool isListedIpv6Address(const rtnetlink::Address6Record& record) {
    constexpr unsigned kDeprecatedTemporary = IFA_F_TEMPORARY | IFA_F_DEPRECATED;
    return record.scope == RT_SCOPE_UNIVERSE && !isLinkLocal(record.address) &&
           (record.flags & kDeprecatedTemporary) != kDeprecatedTemporary;
}

// The main table's unicast default routes, the ones a user sees with `ip route show default`.
bool isMainDefaultRoute(const rtnetlink::RouteRecord& route) {
    return route.table == RT_TABLE_MAIN && route.prefixLength == 0 && route.type == RTN_UNICAST;
}

void addOnce(std::vector<std::string>& list, const std::string& text) {
    if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(text);
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

    std::vector<Ipv6Address> ownIpv6Addresses() override {
        std::vector<LinkRecord> links;
        std::vector<rtnetlink::Address6Record> records;
        if (!rtnetlink::dumpLinks(links) || !rtnetlink::dumpIpv6Addresses(records)) return {};
        const std::set<unsigned> loopback = loopbackIndexes(links);
        std::vector<Ipv6Address> addresses;
        for (const auto& record : records)
            if (!loopback.contains(record.index) && isListedIpv6Address(record))
                addresses.push_back(record.address);
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

        // IPv6 default routers per interface. A kernel without IPv6 has none.
        std::map<unsigned, std::vector<std::string>> routers6;
        std::vector<rtnetlink::RouteRecord> routes6;
        if (rtnetlink::dumpIpv6Routes(routes6)) {
            for (const auto& route : routes6) {
                if (!isMainDefaultRoute(route)) continue;
                for (const auto& hop : route.nexthops) {
                    if (!hop.gateway6 || loopback.contains(hop.index)) continue;
                    std::string text = ipv6Text(*hop.gateway6);
                    if (isLinkLocal(*hop.gateway6))
                        for (const LinkRecord& link : links)
                            if (link.index == hop.index) text += "%" + link.name;
                    addOnce(routers6[hop.index], text);
                }
            }
        }

        std::set<unsigned> listed = withIpv4;
        for (const auto& [index, routers] : routers6)
            listed.insert(index);
        if (listed.empty()) {
            query.status = GatewayQuery::Status::NoAdapters;
            return query;
        }
        for (unsigned index : listed) { // std::set iterates in index order
            GatewayAdapter adapter;
            adapter.index = index;
            for (const LinkRecord& link : links)
                if (link.index == index) adapter.name = link.name;
            if (auto found = routers6.find(index); found != routers6.end())
                adapter.ipv6Gateways = found->second;
            query.adapters.push_back(std::move(adapter));
        }

        std::vector<rtnetlink::RouteRecord> routes;
        if (!rtnetlink::dumpIpv4Routes(routes)) {
            query.status = GatewayQuery::Status::RoutesUnreadable;
            return query;
        }
        for (const auto& route : routes) {
            if (!isMainDefaultRoute(route)) continue;
            for (const auto& hop : route.nexthops) {
                if (!hop.gateway || !withIpv4.contains(hop.index)) continue;
                auto adapter = std::find_if(query.adapters.begin(), query.adapters.end(),
                                            [&](const GatewayAdapter& a) { return a.index == hop.index; });
                addOnce(adapter->gateways, dotted(*hop.gateway));
            }
        }
        for (GatewayAdapter& adapter : query.adapters)
            if (adapter.gateways.empty() && withIpv4.contains(adapter.index))
                adapter.gateways.push_back("0.0.0.0");
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
