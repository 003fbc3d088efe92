// Whether the machine has a network connection, asked on every tick of the status-bar timer.
#pragma once

#include <memory>

namespace orvex {

class ConnectionState {
public:
    virtual ~ConnectionState() = default;
    // Must be cheap: no file or socket I/O on the calling thread.
    virtual bool isConnected() = 0;
};

// Linux: a default route of either family through an up, non-loopback interface. A background thread keeps
// the answer current from the kernel's route and link notifications (and re-reads it at least once a second);
// isConnected() only reads the cached answer. Failures count as "not connected".
std::unique_ptr<ConnectionState> makeSystemConnectionState();

// Reads the routing table and interface flags now (used by the cache and by tests).
bool readDefaultRouteIsUp();

} // namespace orvex
