// Forward and reverse lookups through SocketApi, with the resolver's error reporting.
// UI thread only; every call asks the resolver again (no cache).
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <initializer_list>
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

// When result is the platform's failure value (a null host entry or -1), reads the last error and
// returns if it is one of allowedCodes; otherwise throws EResolverSocketError.
void CheckResolverError(bool failed, std::initializer_list<int> allowedCodes);

class TResolverLib {
public:
    // Forward lookup. Returns the address (network byte order), 0 on failure; resultText is the
    // text that stands for it. Never throws for a name the resolver cannot find.
    static std::uint32_t HostToAddress(const std::string& text, std::string& resultText);

    // Reverse lookup. Returns the host's official name, or "" when the resolver answers 11004.
    // Throws EResolverSocketError for every other resolver error.
    static std::string AddressToHost(const std::string& text);
};

} // namespace orvex
