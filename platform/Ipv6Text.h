// An IPv6 address as text: the compressed form (RFC 5952), as `ip` and `ss` print it.
#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <string>

namespace orvex {

std::string ipv6Text(const std::array<std::uint8_t, 16>& address);
std::string ipv6Text(const in6_addr& address);

} // namespace orvex
