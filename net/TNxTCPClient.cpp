#include "net/TNxTCPClient.h"

#include "net/NxHTTPExceptions.h"
#include "net/TNxIOHandlerSocket.h"

namespace orvex {

void TNxTCPClient::Connect() {
    if (!IOHandler)
        InstallIOHandler(CreateIOHandler ? CreateIOHandler() : std::make_unique<TNxIOHandlerSocket>());
    ResetInputBuffer();
    ClosedGracefully = false;
    const int limit = WaitWithinDeadline(ConnectTimeout > 0 ? ConnectTimeout : ReadTimeout);
    try {
        IOHandler->Open(Host, Port, limit);
    } catch (const ENxSocketError& e) {
        // A connect cut short by the request's deadline reports that deadline.
        if (e.SocketCode == WSAETIMEDOUT && DeadlinePassed()) throw ENxReadTimeout();
        throw;
    }
}

} // namespace orvex
