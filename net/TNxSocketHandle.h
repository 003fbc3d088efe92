// One socket of the stack with its local and remote address. Owned by one network component and
// used by one thread at a time; every operation goes through the process's SharedStack, which
// exists while the owning component does.
#pragma once

#include "net/TNxStack.h"

#include <string>

namespace orvex {

class TNxSocketHandle {
public:
    TNxSocketHandle() = default;
    TNxSocketHandle(const TNxSocketHandle&) = delete;
    TNxSocketHandle& operator=(const TNxSocketHandle&) = delete;
    // Closes an open socket.
    ~TNxSocketHandle();

    TNxSocket Descriptor = kInvalidSocket;
    bool IsOpen = false;
    std::string IP;       // local address; empty binds to any local address
    int Port = 0;         // local port; 0 lets the platform choose
    std::string TargetIP; // remote address, dotted
    int TargetPort = 0;
    int ClientPortMin = 0; // local ports tried, highest first, when binding with Port 0
    int ClientPortMax = 0;

    // Closes an open socket first, then opens a new one of the type (1 stream, 2 datagram, 3 raw).
    // Raises ENxInvalidSocket.
    void OpenSocket(int type, int protocol);
    // Shuts sending down (stream sockets only: on a datagram or raw socket that is not connected
    // the call always fails) and closes; results ignored. The address members keep their values.
    void DropSocket();
    // Forgets the socket without closing it; clears the target, and the local address if asked.
    void ClearState(bool clearLocal);
    // Binds to IP and Port, or to the highest free port of ClientPortMin..ClientPortMax when Port
    // is 0 and both limits are set. Raises ENxCouldNotBindSocket, ENxInvalidPortRange,
    // ENxCanNotBindPortInRange, or ENxSocketError for other failures.
    void BindLocal();
    void SetTarget(const std::string& address, int port);
    // Connects to TargetIP:TargetPort and reads both names back on success. Returns the platform
    // result for the caller to check (-1 on failure; code 10060 when timeoutMs, above 0, ran out).
    int ConnectTarget(int family, int timeoutMs = 0);
    int SendBytes(const void* buffer, int length, int flags);
    int ReceiveBytes(void* buffer, int length, int flags);
    // As ReceiveBytes, with the sender and the received time-to-live.
    int ReceiveDatagram(void* buffer, int length, int flags, TNxDatagramInfo& info);
    // ttl, when not -1, is the time-to-live of this datagram alone. Raises ENxPackageSizeTooBig
    // (code 10040), ENxSocketError, ENxNotAllBytesSent.
    void SendBytesTo(const std::string& address, int port, const void* buffer, int length, int ttl = -1);
    // Raises ENxSocketError when refused.
    void SetOption(int level, int option, const void* value, int length);
    // Whether data can be read within timeoutMs (-2 no limit). A handle that is not open raises
    // ENxConnClosedGracefully; a failed wait counts as not readable.
    bool WaitForData(int timeoutMs);

    void RefreshLocalName();
    void RefreshPeerName();

private:
    bool TryBindPort();
    void ShutdownAndClose(TNxStack& stack);

    int type_ = 0; // as given to OpenSocket
    bool BindInRange();
};

} // namespace orvex
