#include "resolve/ResolverLib.h"

#include "resolve/WinsockIntf.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace orvex {

namespace {

bool equalsIgnoringCase(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
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

std::string TResolverLib::AddressToHost(const std::string& text) {
    if (equalsIgnoringCase(text, "127.0.0.1")) return "LOCALHOST";
    const std::uint32_t address = SocketApi->inet_addr(text.c_str());
    const hostent* entry = SocketApi->gethostbyaddr(&address, 4, AF_INET);
    if (entry) return entry->h_name ? entry->h_name : "";
    CheckResolverError(true, {WSANO_DATA});
    return {};
}

} // namespace orvex
