// Decisions of the "Lokale IP-Adresse", "Mac-Adresse" and "Gateway" boxes, apart from the window.
// Entry texts are Windows-1252 byte strings. Every call asks the platform afresh; nothing is cached.
#pragma once

#include "platform/NetworkAdapters.h"

#include <string>
#include <vector>

namespace orvex {

// "192.0.2.1": dotted decimal, no leading zeros.
std::string formatIpv4(const Ipv4Address& address);

// "2001:db8::1": the compressed form.
std::string formatIpv6(const Ipv6Address& address);

// "00-1A-2B-3C-4D-5E": six upper-case two-digit octets joined by "-".
std::string formatHardwareAddress(const HardwareAddress& address);

// The one-character entry shown for an adapter whose query failed with `returnCode`.
std::string adapterFailureEntry(int returnCode);

// Gateway text as the list shows it: up to the first NUL within the 16-character address field,
// bytes up to and including the blank removed at both ends.
std::string cleanGatewayText(const std::string& text);

// The machine's own addresses, one per line, each line ended by "\r\n"; empty when there are none.
// The IPv6 addresses follow the IPv4 ones.
std::string ListLocalAddresses(NetworkAdapters& adapters);

// Splits text into lines the way a string list takes a text: at "\r\n", "\r" or "\n"; a final line
// break does not start an empty line.
std::vector<std::string> textLines(const std::string& text);

// The adapter numbers to ask for hardware addresses, at most 255; empty on failure.
struct LanaEnum {
    std::vector<unsigned> lana;
};
LanaEnum ReadLanaEnum(NetworkAdapters& adapters);

// Hardware address text of one adapter number, or its failure entry.
std::string ReadAdapterAddress(NetworkAdapters& adapters, unsigned lana);

// What a box does to its combo box and to the two lookup fields.
struct ComboUpdate {
    bool replaceEntries = false;      // false: the combo keeps its entries and text
    std::vector<std::string> entries; // the new entries; the first is selected when there is one
    bool openList = false;            // drop the list open after filling
    bool copyText = false;            // copy the combo's text into editIP and edHost afterwards
};

ComboUpdate localAddressUpdate(NetworkAdapters& adapters);
ComboUpdate hardwareAddressUpdate(NetworkAdapters& adapters);
ComboUpdate gatewayUpdate(NetworkAdapters& adapters, bool openList);

} // namespace orvex
