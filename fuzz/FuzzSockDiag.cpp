// One sock_diag message (a dump's row or a closing broadcast) on arbitrary bytes: never reads past
// the message, and what it accepts is a row the history can show.
#include "platform/TcpTable.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's length, so AddressSanitizer sees any read beyond it.
    const std::vector<char> message(data, data + size);
    TcpRow row;
    unsigned linuxState = 0;
    if (!parseSockDiagMessage(message.data(), message.size(), row, linuxState)) return 0;
    if (row.State < TcpClosed || row.State > TcpDeleteTcb) __builtin_trap();
    if (row.Ipv6 && (row.LocalAddr != 0 || row.RemoteAddr != 0)) __builtin_trap();
    if (!row.HasInfo && (row.RttUs != 0 || row.BytesReceived != 0)) __builtin_trap();
    return 0;
}
