// Whether the machine has a network connection, asked by the status bar's connection timer when the
// answer may have changed.
#pragma once

#include <functional>
#include <memory>

namespace orvex {

class ConnectionState {
public:
    virtual ~ConnectionState() = default;
    // Must be cheap: no file or socket I/O on the calling thread.
    virtual bool isConnected() = 0;

    // Has changed() called, on a thread of the implementation's, each time the answer changes, until
    // it is called again (an empty function stops the calls). Once it returns, the previous function
    // is neither running nor called again, so its owner may go. A state that never changes ignores it.
    virtual void onChange(std::function<void()> changed) { (void)changed; }
};

// Linux: a default route of either family through an up, non-loopback interface. A watcher thread keeps
// the answer current from the kernel's link, address and route notifications (rtnetlink) and sleeps
// in between; isConnected() only reads the cached answer. Failures count as "not connected".
std::unique_ptr<ConnectionState> makeSystemConnectionState();

// Reads the routing table and interface flags now, in the calling thread's network namespace (used by
// the cache and by tests).
bool readDefaultRouteIsUp();

} // namespace orvex
