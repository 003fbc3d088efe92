#include "platform/Ipv6Text.h"

#include <arpa/inet.h>

namespace orvex {

namespace {

std::string textOf(const void* address) {
    char text[INET6_ADDRSTRLEN];
    return ::inet_ntop(AF_INET6, address, text, sizeof text) ? text : "";
}

} // namespace

std::string ipv6Text(const std::array<std::uint8_t, 16>& address) {
    return textOf(address.data());
}

std::string ipv6Text(const in6_addr& address) {
    return textOf(&address);
}

} // namespace orvex
