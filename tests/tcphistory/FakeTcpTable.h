// A TCP table the test fills: hands back its rows as they are (any state, any order) or fails.
#pragma once

#include "platform/TcpTable.h"

#include <vector>

namespace orvex::test {

class FakeTcpTable : public TcpTable {
public:
    std::vector<TcpRow> rows;
    bool fail = false;
    int reads = 0;

    bool read(std::vector<TcpRow>& out, TcpStateMask) override {
        ++reads;
        out.clear();
        if (fail) return false;
        out = rows;
        return true;
    }
};

inline TcpRow established(std::uint16_t localPort, std::uint8_t remoteLast, std::uint16_t remotePort,
                          std::uint8_t localLast = 1) {
    return {TcpEstablished, tcpRowAddress(10, 0, 0, localLast), tcpRowPort(localPort),
            tcpRowAddress(10, 0, 0, remoteLast), tcpRowPort(remotePort)};
}

inline TcpRow listening(std::uint16_t port, std::uint32_t address = 0) {
    return {TcpListen, address, tcpRowPort(port), 0, 0};
}

// An IPv6 row; `remote` all zero for a listener.
inline TcpRow ipv6Row(TcpState state, TcpIpv6Address local, std::uint16_t localPort,
                      TcpIpv6Address remote = {}, std::uint16_t remotePort = 0) {
    TcpRow row{state, 0, tcpRowPort(localPort), 0, tcpRowPort(remotePort)};
    row.Ipv6 = true;
    row.LocalAddr6 = local;
    row.RemoteAddr6 = remote;
    return row;
}

inline constexpr TcpIpv6Address kIpv6Loopback = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
inline constexpr TcpIpv6Address kIpv6Doc = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10};

} // namespace orvex::test
