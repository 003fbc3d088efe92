// The adapter facts of a machine as the Linux adapter source reports them and as `ip` prints them,
// so tests can compare the two; and network namespaces the tests build with several adapters.
#pragma once

#include "platform/NetworkAdapters.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvex::test {

inline std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return output;
    char chunk[4096];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
        output.append(chunk, n);
    ::pclose(pipe);
    return output;
}

inline std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

inline std::string join(const std::vector<std::string>& parts, const char* separator = ",") {
    std::string out;
    for (const auto& part : parts)
        out += (out.empty() ? "" : separator) + part;
    return out;
}

inline std::string ipv4Text(const Ipv4Address& address) {
    char text[INET_ADDRSTRLEN];
    return ::inet_ntop(AF_INET, address.data(), text, sizeof text) ? text : "";
}

inline std::string ipv6Text(const Ipv6Address& address) {
    char text[INET6_ADDRSTRLEN];
    return ::inet_ntop(AF_INET6, address.data(), text, sizeof text) ? text : "";
}

// "02-FC-00-00-00-01", as the hardware address box shows it.
inline std::string hardwareText(const HardwareAddress& a) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
    return text;
}

// One machine's adapter facts as text: own addresses in order, hardware addresses in adapter order,
// and "interface=gateway" per gateway entry.
struct Facts {
    std::vector<std::string> addresses, hardware, gateways;
    std::string describe() const {
        return "addresses=" + join(addresses) + " hardware=" + join(hardware) + " gateways=" + join(gateways);
    }
};

// "02:fc:00:00:00:01" -> "02-FC-00-00-00-01"; empty when it is not a 6-byte address.
inline std::string ipToolHardwareAddress(std::string text) {
    if (text.size() != 17) return {};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 3 == 2) {
            if (text[i] != ':') return {};
            text[i] = '-';
        } else {
            if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return {};
            text[i] = char(std::toupper(static_cast<unsigned char>(text[i])));
        }
    }
    return text;
}

inline Facts factsFromIpTool() {
    struct Link {
        std::string name, hardware;
        bool loopback = false;
    };
    std::map<unsigned, Link> links; // ordered by index
    std::istringstream linkLines(run("ip -o link"));
    for (std::string line; std::getline(linkLines, line);) {
        const auto w = words(line);
        if (w.size() < 3) continue;
        Link link;
        link.name = w[1].substr(0, w[1].find_first_of(":@"));
        link.loopback = w[2].find("LOOPBACK") != std::string::npos;
        for (std::size_t i = 0; i + 1 < w.size(); ++i)
            if (w[i].rfind("link/", 0) == 0) {
                link.hardware = ipToolHardwareAddress(w[i + 1]);
                break;
            }
        links[unsigned(std::stoul(w[0]))] = link;
    }

    Facts facts;
    std::set<unsigned> withIpv4;
    std::istringstream addressLines(run("ip -o -4 addr"));
    for (std::string line; std::getline(addressLines, line);) {
        const auto w = words(line);
        if (w.size() < 4 || w[2] != "inet") continue;
        const unsigned index = unsigned(std::stoul(w[0]));
        if (links[index].loopback) continue;
        facts.addresses.push_back(w[3].substr(0, w[3].find('/')));
        withIpv4.insert(index);
    }
    for (const auto& [index, link] : links)
        if (!link.loopback && !link.hardware.empty()) facts.hardware.push_back(link.hardware);

    // Each "via" belongs to the "dev" that follows it, for plain and for multipath routes alike.
    std::map<std::string, std::vector<std::string>> viaByDevice;
    std::string via;
    const auto routeWords = words(run("ip -4 route show default"));
    for (std::size_t i = 0; i + 1 < routeWords.size(); ++i) {
        if (routeWords[i] == "default") via.clear();
        if (routeWords[i] == "via") via = routeWords[i + 1];
        if (routeWords[i] == "dev" && !via.empty()) {
            auto& list = viaByDevice[routeWords[i + 1]];
            if (std::find(list.begin(), list.end(), via) == list.end()) list.push_back(via);
            via.clear();
        }
    }
    for (unsigned index : withIpv4) {
        const std::string& name = links[index].name;
        const auto found = viaByDevice.find(name);
        if (found == viaByDevice.end())
            facts.gateways.push_back(name + "=0.0.0.0");
        else
            for (const auto& gateway : found->second)
                facts.gateways.push_back(name + "=" + gateway);
    }
    return facts;
}

inline Facts factsFromSource(NetworkAdapters& adapters) {
    Facts facts;
    for (const auto& address : adapters.ownAddresses())
        facts.addresses.push_back(ipv4Text(address));
    for (unsigned number : adapters.hardwareAdapters()) {
        HardwareAddress address{};
        const int code = adapters.adapterStatus(number, address);
        facts.hardware.push_back(code == kAdapterOk ? hardwareText(address)
                                                    : "failed " + std::to_string(code));
    }
    const GatewayQuery query = adapters.gateways();
    if (query.status != GatewayQuery::Status::Listed && query.status != GatewayQuery::Status::NoAdapters)
        facts.gateways.push_back("query failed " + std::to_string(int(query.status)));
    for (const auto& adapter : query.adapters)
        for (const auto& gateway : adapter.gateways)
            facts.gateways.push_back(adapter.name + "=" + gateway);
    return facts;
}

// Runs `body` in a child process inside a new network namespace and returns what it printed:
// "SKIP ..." when namespaces are not available here.
template <class Body> std::string inOwnNetworkNamespace(Body body) {
    int fds[2];
    if (::pipe(fds) != 0) return "SKIP no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string out = ::unshare(CLONE_NEWNET) == 0 ? body() : "SKIP no network namespace (needs root)";
        [[maybe_unused]] auto written = ::write(fds[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;)
        out.append(chunk, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return out;
}

// IPv6 facts as `ip` prints them: the listed addresses ("dev=address", global scope, no deprecated
// temporary one) and the main table's default routers ("dev=router", link-local ones with %dev), per
// interface in index order.
inline std::string ipv6FactsFromIpTool() {
    std::map<std::string, unsigned> indexOf;
    std::istringstream linkLines(run("ip -o link"));
    for (std::string line; std::getline(linkLines, line);)
        if (const auto w = words(line); w.size() > 2)
            indexOf[w[1].substr(0, w[1].find_first_of(":@"))] = unsigned(std::stoul(w[0]));
    std::vector<std::string> addresses;
    std::istringstream addressLines(run("ip -6 -o addr"));
    for (std::string line; std::getline(addressLines, line);) {
        const auto w = words(line);
        const bool temporaryDeprecated =
            std::count(w.begin(), w.end(), "temporary") && std::count(w.begin(), w.end(), "deprecated");
        if (w.size() > 5 && w[2] == "inet6" && w[4] == "scope" && w[5] == "global" && !temporaryDeprecated)
            addresses.push_back(w[1] + "=" + w[3].substr(0, w[3].find('/')));
    }
    std::map<unsigned, std::vector<std::string>> routers;
    std::string via;
    const auto routeWords = words(run("ip -6 route show default"));
    for (std::size_t i = 0; i + 1 < routeWords.size(); ++i) {
        if (routeWords[i] == "default") via.clear();
        if (routeWords[i] == "via") via = routeWords[i + 1];
        if (routeWords[i] == "dev" && !via.empty()) {
            const std::string& dev = routeWords[i + 1];
            if (via.rfind("fe80:", 0) == 0) via += "%" + dev;
            auto& list = routers[indexOf[dev]];
            if (std::find(list.begin(), list.end(), dev + "=" + via) == list.end())
                list.push_back(dev + "=" + via);
            via.clear();
        }
    }
    std::vector<std::string> gateways;
    for (const auto& [index, list] : routers)
        gateways.insert(gateways.end(), list.begin(), list.end());
    return "addresses6=" + join(addresses) + " routers6=" + join(gateways);
}

inline std::string ipv6FactsFromSource(NetworkAdapters& adapters) {
    std::map<unsigned, std::string> nameOf;
    const GatewayQuery query = adapters.gateways();
    std::vector<std::string> gateways;
    for (const auto& adapter : query.adapters)
        for (const auto& gateway : adapter.ipv6Gateways)
            gateways.push_back(adapter.name + "=" + gateway);
    // Addresses carry no interface in the box; pair them with `ip`'s names through the address itself.
    std::vector<std::string> addresses;
    const std::string ipAddresses = run("ip -6 -o addr");
    for (const auto& address : adapters.ownIpv6Addresses()) {
        const std::string text = ipv6Text(address);
        std::string dev = "?";
        std::istringstream lines(ipAddresses);
        for (std::string line; std::getline(lines, line);)
            if (const auto w = words(line); w.size() > 3 && w[3].substr(0, w[3].find('/')) == text)
                dev = w[1];
        addresses.push_back(dev + "=" + text);
    }
    return "addresses6=" + join(addresses) + " routers6=" + join(gateways);
}

// Four veth interfaces, IPv4 addresses and default routes; indexes chosen so that index order
// differs from creation order.
inline constexpr const char* kSeveralAdaptersSetup =
    "set -e; exec >/dev/null 2>&1\n"
    "ip link set lo up\n"
    "ip link add v0 index 257 type veth peer name v1 index 258\n"
    "ip link add w0 index 20 type veth peer name w1 index 21\n"
    "ip link set v0 address 00:0a:0b:0c:0d:0e\n"
    "ip link set v1 address 02:00:00:00:00:01\n"
    "ip link set w1 address 02:00:00:00:00:02\n"
    "ip link set w0 address 02:00:00:00:00:03\n"
    "for l in v0 v1 w0 w1; do ip link set $l up; done\n"
    "ip addr add 10.1.0.2/24 dev v0\n"
    "ip addr add 10.1.0.3/24 dev v0\n"
    "ip addr add 10.2.0.2/24 dev v1\n"
    "ip addr add 10.3.0.2/24 dev w0\n"
    "ip route add default via 10.1.0.1 dev v0 metric 100\n"
    "ip route add default via 10.2.0.1 dev v1 metric 200\n"
    "ip route add default metric 300 nexthop via 10.1.0.1 dev v0 nexthop via 10.2.0.1 dev v1\n"
    "ip route add default via 10.1.0.254 dev v0 metric 400\n"
    "ip route add default via 10.1.0.9 dev v0 table 7\n";

// Two veth interfaces with IPv6 addresses and default routers, one of them link-local.
inline constexpr const char* kIpv6AdaptersSetup =
    "set -e; exec >/dev/null 2>&1\n"
    "ip link set lo up\n"
    "ip link add v0 index 30 type veth peer name v1 index 31\n"
    "ip link set v0 up; ip link set v1 up\n"
    "ip addr add 10.1.0.2/24 dev v0\n"
    "ip -6 addr add 2001:db8:1::2/64 dev v0 nodad\n"
    "ip -6 addr add fd00:1::2/64 dev v0 nodad\n"
    "ip -6 addr add 2001:db8:2::2/64 dev v1 nodad\n"
    "ip -6 route add default via 2001:db8:1::1 dev v0 metric 100\n"
    "ip -6 route add default via fe80::1 dev v1 metric 200\n"
    "ip -6 route add default metric 300 nexthop via 2001:db8:1::9 dev v0 "
    "nexthop via fe80::2 dev v1\n"
    "ip -6 route add default via 2001:db8:1::7 dev v0 table 7\n";

} // namespace orvex::test
