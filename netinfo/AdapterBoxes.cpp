#include "netinfo/AdapterBoxes.h"

#include "platform/Ipv6Text.h"

#include <cstdio>

#include <arpa/inet.h>

namespace orvex {

namespace {

constexpr std::size_t kMaxAdapterNumbers = 255; // the adapter-number list has a one-byte count
constexpr std::size_t kGatewayTextField = 16;   // address text field, NUL-padded

} // namespace

std::string formatIpv4(const Ipv4Address& address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
    return text;
}

std::string formatHardwareAddress(const HardwareAddress& a) {
    char text[18];
    std::snprintf(text, sizeof text, "%2.2X-%2.2X-%2.2X-%2.2X-%2.2X-%2.2X", a[0], a[1], a[2], a[3], a[4],
                  a[5]);
    return text;
}

std::string adapterFailureEntry(int returnCode) {
    return std::string(1, char((returnCode * 255) & 0xFF));
}

std::string cleanGatewayText(const std::string& text) {
    const std::string field = text.substr(0, std::min(text.find('\0'), kGatewayTextField));
    std::size_t first = 0;
    std::size_t last = field.size();
    while (first < last && static_cast<unsigned char>(field[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(field[last - 1]) <= ' ')
        --last;
    return field.substr(first, last - first);
}

std::string formatIpv6(const Ipv6Address& address) {
    return ipv6Text(address);
}

std::string ListLocalAddresses(NetworkAdapters& adapters) {
    std::string list;
    for (const Ipv4Address& address : adapters.ownAddresses())
        list += formatIpv4(address) + "\r\n";
    for (const Ipv6Address& address : adapters.ownIpv6Addresses())
        list += formatIpv6(address) + "\r\n";
    return list;
}

std::vector<std::string> textLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

LanaEnum ReadLanaEnum(NetworkAdapters& adapters) {
    LanaEnum list;
    list.lana = adapters.hardwareAdapters();
    if (list.lana.size() > kMaxAdapterNumbers) list.lana.resize(kMaxAdapterNumbers);
    return list;
}

std::string ReadAdapterAddress(NetworkAdapters& adapters, unsigned lana) {
    if (const int code = adapters.resetAdapter(lana); code != kAdapterOk) return adapterFailureEntry(code);
    HardwareAddress address{};
    if (const int code = adapters.adapterStatus(lana, address); code != kAdapterOk)
        return adapterFailureEntry(code);
    return formatHardwareAddress(address);
}

ComboUpdate localAddressUpdate(NetworkAdapters& adapters) {
    return ComboUpdate{.replaceEntries = true,
                       .entries = textLines(ListLocalAddresses(adapters)),
                       .openList = false,
                       .copyText = true};
}

ComboUpdate hardwareAddressUpdate(NetworkAdapters& adapters) {
    ComboUpdate update{.replaceEntries = true};
    for (unsigned lana : ReadLanaEnum(adapters).lana)
        update.entries.push_back(ReadAdapterAddress(adapters, lana));
    // The list drops open as soon as it has an entry; an empty list stays closed.
    update.openList = !update.entries.empty();
    return update;
}

ComboUpdate gatewayUpdate(NetworkAdapters& adapters, bool openList) {
    const GatewayQuery query = adapters.gateways();
    switch (query.status) {
    case GatewayQuery::Status::NoAdapters:
    case GatewayQuery::Status::InterfacesUnreadable:
        return ComboUpdate{}; // nothing in the window changes
    case GatewayQuery::Status::RoutesUnreadable:
        return ComboUpdate{.copyText = true}; // the old list stays, its text is still handed on
    case GatewayQuery::Status::Listed:
        break;
    }
    ComboUpdate update{.replaceEntries = true, .copyText = true};
    const auto ipv6Only = [](const GatewayAdapter& a) {
        return a.gateways.empty() && !a.ipv6Gateways.empty();
    };
    for (const GatewayAdapter& adapter : query.adapters) {
        if (ipv6Only(adapter)) continue;
        // Every adapter contributes at least its first gateway element, even an empty one.
        if (adapter.gateways.empty()) update.entries.emplace_back();
        for (const std::string& gateway : adapter.gateways)
            update.entries.push_back(cleanGatewayText(gateway));
        // IPv6 texts are longer than the 16-character IPv4 field and go in whole.
        update.entries.insert(update.entries.end(), adapter.ipv6Gateways.begin(), adapter.ipv6Gateways.end());
    }
    // Interfaces with IPv6 routers only come last, so the entry handed on stays the one an
    // IPv4-only machine would show.
    for (const GatewayAdapter& adapter : query.adapters)
        if (ipv6Only(adapter))
            update.entries.insert(update.entries.end(), adapter.ipv6Gateways.begin(),
                                  adapter.ipv6Gateways.end());
    update.openList = openList && !update.entries.empty();
    return update;
}

} // namespace orvex
