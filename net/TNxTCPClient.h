// A connection that makes its own connections: a target host and port, and the I/O handler it
// creates on the first connect and owns from then on.
#pragma once

#include "net/TNxTCPConnection.h"

#include <functional>
#include <memory>
#include <string>

namespace orvex {

class TNxTCPClient : public TNxTCPConnection {
public:
    // Makes the I/O handler on the first connect; empty means a socket handler.
    using IOHandlerFactory = std::function<std::unique_ptr<TNxIOHandler>()>;

    // Connects to Host:Port within ConnectTimeout, or, when that is 0, within the read timeout (0:
    // as long as the platform waits), and never beyond the deadline (StartDeadline). A connect that
    // runs out fails with socket error 10060, or with ENxReadTimeout when the deadline ended it.
    void Connect();

    int ConnectTimeout = kNoTimeout;

    std::string Host;
    int Port = 80;
    IOHandlerFactory CreateIOHandler;
};

} // namespace orvex
