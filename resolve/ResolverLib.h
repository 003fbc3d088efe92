// Forward and reverse lookups through SocketApi, with the resolver's error reporting.
// Called on the thread that runs the lookup; every call asks the resolver again (no cache).
#pragma once

#include "platform/Exception.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

namespace orvex {

class EResolverSocketError : public Exception {
public:
    EResolverSocketError(std::string message, int code) : Exception(std::move(message)), Code(code) {}
    int Code;
};

// "Socket Error #<code>\r\n<text>"
std::string resolverErrorMessage(int code);

// The four octets of an address in network byte order, in memory order, joined by ".".
std::string FormatDottedAddress(std::uint32_t address);

// The address of an IPv6 address text: compressed or full, optionally in brackets, optionally with
// a zone ("fe80::1%eth0", whose zone a name lookup does not need). nullopt for any other text.
std::optional<std::array<std::uint8_t, 16>> ParseIpv6Text(const std::string& text);

// The standard compressed form: lower case, the longest run of zero groups as "::".
std::string FormatIpv6Address(const std::array<std::uint8_t, 16>& address);

// When result is the platform's failure value (a null host entry or -1), reads the last error and
// returns if it is one of allowedCodes; otherwise throws EResolverSocketError.
void CheckResolverError(bool failed, std::initializer_list<int> allowedCodes);

class TResolverLib {
public:
    // Forward lookup. Returns the address (network byte order), 0 on failure; resultText is the
    // text that stands for it. Never throws for a name the resolver cannot find.
    static std::uint32_t HostToAddress(const std::string& text, std::string& resultText);

    // Forward lookup of a name's IPv6 addresses (or of an IPv6 address text, which is returned in
    // compressed form, its "%zone" kept, without a query). True with resultText the first address in
    // compressed form; false, resultText untouched, when there is none.
    static bool HostToAddress6(const std::string& text, std::string& resultText);

    // Reverse lookup. Returns the host's official name, or "" when the resolver answers 11004.
    // An IPv6 address text (ParseIpv6Text) is looked up in the IPv6 reverse zone, any other text
    // as an IPv4 address.
    // Throws EResolverSocketError for every other resolver error.
    static std::string AddressToHost(const std::string& text);
};

} // namespace orvex
