// Every TCP socket of this network namespace as it closes, also one that opened and closed between
// two reads of the table: the kernel's sock_diag destroy broadcasts for IPv4 and IPv6, which an
// ordinary user may join. A listener thread of its own (JoinableThread) drains the netlink socket
// as fast as the messages come, since the kernel drops what does not fit into the socket's receive
// buffer (rmem_max for an unprivileged socket), and keeps them in a bounded queue until the owner
// takes them. Plain C++; take() from one thread at a time.
#pragma once

#include "platform/TcpTable.h"
#include "platform/Threads.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orvex {

struct ClosedTcpSocket {
    // Addresses, ports and final counters; State is TcpClosed, Uid and Inode are unknown (the
    // broadcast does not carry them).
    TcpRow Row;
    std::chrono::system_clock::time_point Seen; // when the broadcast arrived
};

class TcpCloseWatch {
public:
    // The queue holds at most this many sockets; more between two takes are counted as lost.
    static constexpr std::size_t kQueueLimit = 65536;

    TcpCloseWatch();
    ~TcpCloseWatch(); // stops and joins the listener
    TcpCloseWatch(const TcpCloseWatch&) = delete;
    TcpCloseWatch& operator=(const TcpCloseWatch&) = delete;

    // Joins the broadcasts of both families and starts the listener. False when the kernel refuses
    // (no sock_diag) or no thread can be had; the watch then stays off.
    bool start();
    bool running() const { return listener_.joinable(); }

    // Moves the sockets seen closing since the last take into out (in order) and returns how many
    // were lost since then (queue full, or the kernel dropped messages: then at least 1).
    std::size_t take(std::vector<ClosedTcpSocket>& out);

    struct Shared; // what the listener shares with the owner

private:
    std::shared_ptr<Shared> shared_;
    JoinableThread listener_;
};

} // namespace orvex
