// The machine's own network facts for the address, hardware-address and gateway boxes: IPv4
// addresses, the interfaces that carry a 6-byte hardware address, and the default gateways per
// interface. The interface hands out plain data; the boxes decide what to show.
// One object may be used from one thread at a time; every call asks the kernel afresh.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

using Ipv4Address = std::array<std::uint8_t, 4>;     // network order: 192.0.2.1 is {192, 0, 2, 1}
using Ipv6Address = std::array<std::uint8_t, 16>;    // network order
using HardwareAddress = std::array<std::uint8_t, 6>; // as it goes on the wire

// Return codes of the per-adapter calls. They keep the numbering of the NetBIOS return codes the
// hardware-address list derives its failure entry from.
inline constexpr int kAdapterOk = 0x00;
inline constexpr int kAdapterInvalid = 0x23;     // the number names no adapter (any more)
inline constexpr int kAdapterSystemError = 0x40; // the system could not be asked

// One interface that takes part in the gateway list, with the gateways of the default routes
// through it. An interface without one carries the single text "0.0.0.0".
struct GatewayAdapter {
    unsigned index = 0;
    std::string name;
    std::vector<std::string> gateways; // dotted IPv4 texts, in route order, each once
    // The IPv6 default routers through it, compressed, in route order, each once; a link-local
    // router carries the interface as its zone ("fe80::1%eth0"). An interface with IPv6 routers
    // but no IPv4 address has no IPv4 gateway texts at all.
    std::vector<std::string> ipv6Gateways;
};

struct GatewayQuery {
    enum class Status {
        Listed,               // `adapters` holds at least one interface
        NoAdapters,           // no non-loopback interface has an IPv4 address or an IPv6 router
        InterfacesUnreadable, // the interface or address table could not be read
        RoutesUnreadable,     // the interfaces are known, the routing table could not be read
    };
    Status status = Status::NoAdapters;
    std::vector<GatewayAdapter> adapters;
};

class NetworkAdapters {
public:
    virtual ~NetworkAdapters() = default;

    // IPv4 addresses of the non-loopback interfaces in the kernel's order; empty when none or when
    // the query fails.
    virtual std::vector<Ipv4Address> ownAddresses() = 0;

    // The global and unique-local IPv6 addresses of the non-loopback interfaces in the kernel's
    // order: no link-local address, no deprecated temporary one. Empty when none, when the query
    // fails, and for a source that knows no IPv6.
    virtual std::vector<Ipv6Address> ownIpv6Addresses() { return {}; }

    // Numbers of the adapters that carry a 6-byte hardware address (loopback excluded), ascending;
    // empty when none or when the query fails. On Linux the number is the interface index.
    virtual std::vector<unsigned> hardwareAdapters() = 0;

    // Prepares one adapter for a status request: checks that it (still) exists with a 6-byte
    // hardware address. Returns kAdapterOk or one of the failure codes above.
    virtual int resetAdapter(unsigned number) = 0;

    // Reads the adapter's hardware address into `address`. Returns kAdapterOk or a failure code,
    // in which case `address` is left untouched.
    virtual int adapterStatus(unsigned number, HardwareAddress& address) = 0;

    // The interfaces with IPv4 addresses or IPv6 default routers (loopback excluded) in index order,
    // with their gateways.
    virtual GatewayQuery gateways() = 0;
};

// Linux: rtnetlink dumps of links, addresses and the main routing table.
std::unique_ptr<NetworkAdapters> makeSystemNetworkAdapters();

} // namespace orvex
