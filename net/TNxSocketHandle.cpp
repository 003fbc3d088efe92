#include "net/TNxSocketHandle.h"

#include "net/TNxComponent.h"

#include <unistd.h>

namespace orvex {

namespace {

TNxStack& stack() {
    // The owning component keeps the stack alive; a handle used without one is a program error.
    if (SharedStack == nullptr) throw ENxStackError("Kein Socket-Stack vorhanden.");
    return *SharedStack;
}

constexpr int kShutdownSend = 1;

} // namespace

TNxSocketHandle::~TNxSocketHandle() {
    if (!IsOpen) return;
    IsOpen = false;
    if (SharedStack != nullptr) {
        ShutdownAndClose(*SharedStack);
    } else {
        ::close(Descriptor);
    }
}

void TNxSocketHandle::OpenSocket(int type, int protocol) {
    DropSocket();
    Descriptor = stack().NewSocket(type, protocol);
    type_ = type;
    IsOpen = true;
}

void TNxSocketHandle::DropSocket() {
    if (!IsOpen) return;
    IsOpen = false;
    ShutdownAndClose(stack());
}

void TNxSocketHandle::ShutdownAndClose(TNxStack& s) {
    if (type_ == kSockStream) s.StackShutdown(Descriptor, kShutdownSend);
    s.StackClose(Descriptor);
}

void TNxSocketHandle::ClearState(bool clearLocal) {
    IsOpen = false;
    Descriptor = kInvalidSocket;
    if (clearLocal) {
        IP.clear();
        Port = 0;
    }
    TargetIP.clear();
    TargetPort = 0;
}

void TNxSocketHandle::BindLocal() {
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        if (!TryBindPort()) throw ENxCouldNotBindSocket(nxtext::kCouldNotBindSocket);
        return;
    }
    if (ClientPortMax < ClientPortMin)
        throw ENxInvalidPortRange(FormatNx(nxtext::kInvalidPortRange,
                                           {std::to_string(ClientPortMin), std::to_string(ClientPortMax)}));
    if (!BindInRange())
        throw ENxCanNotBindPortInRange(FormatNx(
            nxtext::kCanNotBindPortInRange, {std::to_string(ClientPortMin), std::to_string(ClientPortMax)}));
}

bool TNxSocketHandle::TryBindPort() {
    auto& s = stack();
    if (s.CheckResult(s.StackBind(Descriptor, kAfInet, Port, IP), {WSAEADDRINUSE})) return false;
    RefreshLocalName();
    return true;
}

bool TNxSocketHandle::BindInRange() {
    for (int port = ClientPortMax; port >= ClientPortMin; --port) {
        Port = port;
        if (TryBindPort()) return true;
    }
    return false;
}

void TNxSocketHandle::SetTarget(const std::string& address, int port) {
    TargetIP = address;
    TargetPort = port;
}

int TNxSocketHandle::ConnectTarget(int family, int timeoutMs) {
    const int result = stack().StackConnectWithin(Descriptor, family, TargetPort, TargetIP, timeoutMs);
    if (result != -1) {
        RefreshLocalName();
        RefreshPeerName();
    }
    return result;
}

int TNxSocketHandle::SendBytes(const void* buffer, int length, int flags) {
    return stack().StackSend(Descriptor, buffer, length, flags);
}

int TNxSocketHandle::ReceiveBytes(void* buffer, int length, int flags) {
    return stack().StackReceive(Descriptor, buffer, length, flags);
}

int TNxSocketHandle::ReceiveDatagram(void* buffer, int length, int flags, TNxDatagramInfo& info) {
    return stack().StackReceiveDatagram(Descriptor, buffer, length, flags, info);
}

void TNxSocketHandle::SendBytesTo(const std::string& address, int port, const void* buffer, int length,
                                  int ttl) {
    auto& s = stack();
    const int sent = s.StackSendTo(Descriptor, buffer, length, 0, address, port, ttl);
    if (sent == -1) {
        if (s.PlatformErrorCode() == WSAEMSGSIZE) {
            s.LastCode = WSAEMSGSIZE;
            throw ENxPackageSizeTooBig(nxtext::kPackageSizeTooBig);
        }
        s.CheckResult(-1);
    }
    if (sent != length) throw ENxNotAllBytesSent(nxtext::kNotAllBytesSent);
}

void TNxSocketHandle::SetOption(int level, int option, const void* value, int length) {
    auto& s = stack();
    s.CheckResult(s.StackSetOption(Descriptor, level, option, value, length));
}

bool TNxSocketHandle::WaitForData(int timeoutMs) {
    if (!IsOpen) throw ENxConnClosedGracefully(nxtext::kConnClosedGracefully);
    TNxSocketList readList{Descriptor};
    return stack().WaitSockets(&readList, nullptr, nullptr, timeoutMs) == 1;
}

void TNxSocketHandle::RefreshLocalName() {
    int family = 0;
    stack().LocalName(Descriptor, family, IP, Port);
}

void TNxSocketHandle::RefreshPeerName() {
    int family = 0;
    stack().PeerName(Descriptor, family, TargetIP, TargetPort);
}

} // namespace orvex
