#include "net/TNxIOHandlerSocket.h"

#include "net/NxHTTPExceptions.h"
#include "net/TNxComponent.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <algorithm>
#include <climits>

namespace orvex {

namespace {
constexpr int kNoLimit = -2;
constexpr int kShutdownBoth = 2;
} // namespace

TNxIOHandlerSocket::~TNxIOHandlerSocket() {
    std::lock_guard lock(interruptLock_);
    Binding.DropSocket();
}

void TNxIOHandlerSocket::Open(const std::string& host, int port, int timeoutMs) {
    // Without a time limit (0) the connect waits as long as the platform does. The local name of the last
    // connection must not pin the next one to its port.
    {
        std::lock_guard lock(interruptLock_);
        Binding.DropSocket();
        Binding.ClearState(true);
        if (interrupted_) throw connClosedGracefully();
        Binding.OpenSocket(kSockStream, 0);
    }
    try {
        Binding.BindLocal();
        Binding.SetTarget(SharedStack->LookupAddress(host), port);
        SharedStack->CheckResult(Binding.ConnectTarget(kAfInet, timeoutMs));
        // The request leaves in one write; waiting for more to coalesce would only delay it.
        const int one = 1;
        Binding.SetOption(IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    } catch (...) {
        Close();
        throw;
    }
}

void TNxIOHandlerSocket::Close() {
    std::lock_guard lock(interruptLock_);
    Binding.DropSocket();
}

void TNxIOHandlerSocket::Interrupt() {
    std::lock_guard lock(interruptLock_);
    interrupted_ = true;
    // Both directions: a wait or receive sees the end at once, a connect gives up, a send fails.
    if (Binding.IsOpen) SharedStack->StackShutdown(Binding.Descriptor, kShutdownBoth);
}

void TNxIOHandlerSocket::Resume() {
    std::lock_guard lock(interruptLock_);
    interrupted_ = false;
}

bool TNxIOHandlerSocket::Readable(int timeoutMs) {
    return Binding.WaitForData(timeoutMs < 0 ? kNoLimit : timeoutMs);
}

long TNxIOHandlerSocket::Receive(char* buffer, std::size_t length, int& errorCode) {
    const int n = Binding.ReceiveBytes(buffer, static_cast<int>(std::min<std::size_t>(length, INT_MAX)), 0);
    if (n < 0) errorCode = SharedStack->PlatformErrorCode();
    return n;
}

long TNxIOHandlerSocket::Send(const char* buffer, std::size_t length, int& errorCode) {
    const int n = Binding.SendBytes(buffer, static_cast<int>(std::min<std::size_t>(length, INT_MAX)), 0);
    if (n < 0) errorCode = SharedStack->PlatformErrorCode();
    return n;
}

void TNxIOHandlerSocket::RaiseSocketError(int code) {
    SharedStack->ThrowSocketError(code);
}

} // namespace orvex
