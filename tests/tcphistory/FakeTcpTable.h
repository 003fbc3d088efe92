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

} // namespace orvex::test
