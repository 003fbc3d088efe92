#include "net/TNxIOHandlerSocket.h"

#include "net/TNxComponent.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <algorithm>
#include <climits>

namespace orvex {

namespace {
constexpr int kNoLimit = -2;
}

TNxIOHandlerSocket::~TNxIOHandlerSocket() {
    Binding.DropSocket();
}

void TNxIOHandlerSocket::Open(const std::string& host, int port, int timeoutMs) {
    // Without a time limit (0) the connect waits as long as the platform does. The local name of the last
    // connection must not pin the next one to its port.
    Binding.DropSocket();
    Binding.ClearState(true);
    Binding.OpenSocket(kSockStream, 0);
    try {
        Binding.BindLocal();
        Binding.SetTarget(SharedStack->LookupAddress(host), port);
        SharedStack->CheckResult(Binding.ConnectTarget(kAfInet, timeoutMs));
        // The request leaves in one write; waiting for more to coalesce would only delay it.
        const int one = 1;
        Binding.SetOption(IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    } catch (...) {
        Binding.DropSocket();
        throw;
    }
}

void TNxIOHandlerSocket::Close() {
    Binding.DropSocket();
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
