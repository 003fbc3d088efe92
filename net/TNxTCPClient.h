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

    // Connects to Host:Port; the read timeout bounds the connect (0: as long as the platform waits).
    void Connect();

    std::string Host;
    int Port = 80;
    IOHandlerFactory CreateIOHandler;
};

} // namespace orvex
