// One poll of the TCP table turned into text records for the connection history. Plain C++.
#pragma once

#include "platform/TcpTable.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

struct TTcpConnStatus {
    std::string LocalIP;
    std::string LocalPort;
    std::string RemoteIP;   // "..." when the remote address is 0
    std::string RemotePort; // "..." when the remote address is 0
    std::string Status;

    friend bool operator==(const TTcpConnStatus&, const TTcpConnStatus&) = default;
};

struct WellKnownPort {
    std::uint16_t Port;
    std::string_view Name;
};

// Searched from the first entry; the first equal port wins. "DNS ", "FTP " and "NTP " keep their blank.
extern const std::array<WellKnownPort, 29> WellKnownPorts;

// Indexed by the table's state number (1 to 12); entry 0 is empty.
extern const std::array<std::string_view, 13> TcpStateNames;

// The remote fields of a row without a remote address.
inline constexpr std::string_view kNoRemote = "...";

// Each octet as "%3d.", first octet first, the last full stop dropped: always 15 characters.
std::string FormatIPAddress(std::uint32_t address);

// An IPv6 row's address in compressed form ("2001:db8::1", "::"); unpadded, unlike the IPv4 form.
std::string FormatIPv6Address(const TcpIpv6Address& address);

// The well-known name of the port, else the number as "%4d".
std::string FormatPort(std::uint16_t port);

// The record of one table row (any state).
TTcpConnStatus makeTcpConnStatus(const TcpRow& row);

// Empties *list and appends a record for every listening or established row of the table, IPv6
// rows included, in the table's order. Does nothing when list is null; a failed read leaves the list empty.
void ReadTcpConnections(TcpTable& table, std::vector<TTcpConnStatus>* list);

} // namespace orvex
