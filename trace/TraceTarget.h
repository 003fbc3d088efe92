// The address a route trace or port check goes to, decided as the ping box decides it: an IPv6
// address text goes to IPv6; "LOCALHOST" (any letter case) and a dotted IPv4 address to IPv4; a
// name to its first IPv4 address, and only when it has none to its first IPv6 address.
// Plain C++; any thread. A name costs one or two resolver calls (blocking).
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <optional>
#include <string>

namespace orvex {

struct TraceTarget {
    int family = AF_INET; // AF_INET or AF_INET6
    sockaddr_storage address{};
    socklen_t length = 0;
    std::string text; // the address as numbers: "10.0.0.1", "fd00::1"

    const sockaddr* sockaddrPtr() const { return reinterpret_cast<const sockaddr*>(&address); }
    // The same target with port (network order) set.
    TraceTarget withPort(int port) const;
};

// The target for host; nullopt and error set (a German message) when host is empty or cannot be
// resolved.
std::optional<TraceTarget> resolveTraceTarget(const std::string& host, std::string& error);

// The address of a socket address as numbers ("10.0.0.1", "fd00::1"); empty for other families.
std::string addressText(const sockaddr* address);

// The name that the resolver gives for address (/etc/hosts, DNS); empty when it has none.
// Blocking: never on the probe path or the UI thread.
std::string reverseName(const std::string& addressText);

} // namespace orvex
