// What the connection layer needs of a transport: one blocking byte stream to one peer.
// TNxIOHandlerSocket implements it on the socket layer; tests feed replies from memory.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string>

namespace orvex {

class TNxIOHandler {
public:
    virtual ~TNxIOHandler() = default;

    // Resolves `host`, connects (blocking; timeoutMs 0 waits as long as the platform does) and
    // raises the socket error when that fails, leaving the handler closed.
    virtual void Open(const std::string& host, int port, int timeoutMs) = 0;
    virtual void Close() = 0;
    virtual bool Connected() const = 0;

    // Waits until data can be received: timeoutMs >= 0 waits at most that long, -1 without limit.
    // False when the wait ran out or failed. Raises ENxConnClosedGracefully when not open.
    virtual bool Readable(int timeoutMs) = 0;

    // One receive / one send: the byte count (0 from Receive: the peer closed), or -1 with the
    // Winsock error code in errorCode.
    virtual long Receive(char* buffer, std::size_t length, int& errorCode) = 0;
    virtual long Send(const char* buffer, std::size_t length, int& errorCode) = 0;

    // Any thread, while another uses the handler: ends a connect, wait, receive or send under way at
    // once (the socket is shut down from here, never closed, so its number cannot be reused under
    // the user's feet), and makes every later Open fail, until Resume. The default does nothing.
    virtual void Interrupt() {}
    // Lets Open work again after Interrupt; only while nobody else uses the handler.
    virtual void Resume() {}

    // Raises the socket error with its text (ENxSocketError); must not return.
    virtual void RaiseSocketError(int code) = 0;
    [[noreturn]] void ThrowSocketError(int code) {
        RaiseSocketError(code);
        std::abort();
    }
};

} // namespace orvex
