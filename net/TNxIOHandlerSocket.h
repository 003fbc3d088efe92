// The I/O handler on a stream socket of the socket layer: one blocking TCP connection. Lives
// inside a network component, so SharedStack exists while it does.
#pragma once

#include "net/TNxIOHandler.h"
#include "net/TNxSocketHandle.h"

namespace orvex {

class TNxIOHandlerSocket : public TNxIOHandler {
public:
    ~TNxIOHandlerSocket() override;

    void Open(const std::string& host, int port, int timeoutMs) override;
    void Close() override;
    bool Connected() const override { return Binding.IsOpen; }
    bool Readable(int timeoutMs) override;
    long Receive(char* buffer, std::size_t length, int& errorCode) override;
    long Send(const char* buffer, std::size_t length, int& errorCode) override;
    void RaiseSocketError(int code) override;

    TNxSocketHandle Binding;
};

} // namespace orvex
