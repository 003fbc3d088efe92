#include "resolve/ResolverLib.h"

#include "platform/Ipv6Text.h"
#include "resolve/WinsockIntf.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include <arpa/inet.h>

namespace orvex {

namespace {

bool equalsIgnoringCase(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
}

// The "%zone" of an address text ("fe80::1%eth0", "[fe80::1%eth0]"); empty without one.
std::string zoneOf(const std::string& text) {
    const auto at = text.find('%');
    if (at == std::string::npos) return {};
    std::string zone = text.substr(at);
    if (zone.back() == ']') zone.pop_back();
    return zone;
}

} // namespace

std::string resolverErrorMessage(int code) {
    return "Socket Error #" + std::to_string(code) + "\r\n" + SocketErrorText(code);
}

std::string FormatDottedAddress(std::uint32_t address) {
    unsigned char octets[4];
    std::memcpy(octets, &address, sizeof octets);
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." + std::to_string(octets[2]) +
           "." + std::to_string(octets[3]);
}

std::optional<std::array<std::uint8_t, 16>> ParseIpv6Text(const std::string& text) {
    std::string inner = text;
    if (inner.size() >= 2 && inner.front() == '[' && inner.back() == ']')
        inner = inner.substr(1, inner.size() - 2);
    if (const auto zone = inner.find('%'); zone != std::string::npos && zone + 1 < inner.size())
        inner.erase(zone);
    std::array<std::uint8_t, 16> address{};
    if (::inet_pton(AF_INET6, inner.c_str(), address.data()) != 1) return std::nullopt;
    return address;
}

std::string FormatIpv6Address(const std::array<std::uint8_t, 16>& address) {
    return ipv6Text(address);
}

void CheckResolverError(bool failed, std::initializer_list<int> allowedCodes) {
    if (!failed) return;
    const int code = SocketApi->WSAGetLastError();
    if (std::find(allowedCodes.begin(), allowedCodes.end(), code) != allowedCodes.end()) return;
    throw EResolverSocketError(resolverErrorMessage(code), code);
}

std::uint32_t TResolverLib::HostToAddress(const std::string& text, std::string& resultText) {
    resultText = text;
    if (equalsIgnoringCase(text, "LOCALHOST")) {
        resultText = "127.0.0.1";
        return SocketApi->inet_addr("127.0.0.1");
    }
    const std::uint32_t address = SocketApi->inet_addr(text.c_str());
    if (address != INADDR_NONE_VALUE) return address;
    const hostent* entry = SocketApi->gethostbyname(text.c_str());
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return 0;
    std::uint32_t first = 0;
    std::memcpy(&first, entry->h_addr_list[0], sizeof first);
    resultText = FormatDottedAddress(first);
    return first;
}

bool TResolverLib::HostToAddress6(const std::string& text, std::string& resultText) {
    if (const auto literal = ParseIpv6Text(text)) {
        // The zone stays: a link-local address handed on to the ping box means nothing without it.
        resultText = FormatIpv6Address(*literal) + zoneOf(text);
        return true;
    }
    const hostent* entry = SocketApi->gethostbyname2(text.c_str(), AF_INET6);
    if (!entry || entry->h_addrtype != AF_INET6 || entry->h_length != 16 || !entry->h_addr_list ||
        !entry->h_addr_list[0])
        return false;
    std::array<std::uint8_t, 16> first{};
    std::memcpy(first.data(), entry->h_addr_list[0], first.size());
    resultText = FormatIpv6Address(first);
    return true;
}

std::string TResolverLib::AddressToHost(const std::string& text) {
    if (equalsIgnoringCase(text, "127.0.0.1")) return "LOCALHOST";
    const hostent* entry = nullptr;
    if (const auto address6 = ParseIpv6Text(text)) {
        entry = SocketApi->gethostbyaddr(address6->data(), 16, AF_INET6);
    } else {
        const std::uint32_t address = SocketApi->inet_addr(text.c_str());
        entry = SocketApi->gethostbyaddr(&address, 4, AF_INET);
    }
    if (entry) return entry->h_name ? entry->h_name : "";
    CheckResolverError(true, {WSANO_DATA});
    return {};
}

} // namespace orvex
