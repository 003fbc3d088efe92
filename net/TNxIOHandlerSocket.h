// The I/O handler on a stream socket of the socket layer: one blocking TCP connection. Lives
// inside a network component, so SharedStack exists while it does. One thread uses it; Interrupt
// may come from any other.
#pragma once

#include "net/TNxIOHandler.h"
#include "net/TNxSocketHandle.h"

#include <mutex>

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
    void Interrupt() override;
    void Resume() override;

    // The using thread changes its socket only under interruptLock_, so Interrupt, on another
    // thread, always meets the socket in use or none.
    TNxSocketHandle Binding;

private:
    std::mutex interruptLock_;
    bool interrupted_ = false;
};

} // namespace orvex
