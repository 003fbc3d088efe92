#include "net/TNxTCPClient.h"

#include "net/TNxIOHandlerSocket.h"

namespace orvex {

void TNxTCPClient::Connect() {
    if (!IOHandler) IOHandler = CreateIOHandler ? CreateIOHandler() : std::make_unique<TNxIOHandlerSocket>();
    ResetInputBuffer();
    ClosedGracefully = false;
    IOHandler->Open(Host, Port, ConnectTimeout > 0 ? ConnectTimeout : ReadTimeout);
}

} // namespace orvex
