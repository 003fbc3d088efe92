// The socket stack over the Linux BSD socket interface, linked with the program. errno values are
// kept as Windows Sockets codes (platform/WinsockErrors.h), so PlatformErrorCode and every
// "Socket-Fehler # %d" message read as they do on Windows. Sockets are opened close-on-exec; sends
// never raise SIGPIPE (a closed peer is reported as code 10054).
#pragma once

#include "net/TNxStack.h"

namespace orvex {

class TNxStackLinux : public TNxStack {
public:
    // Runs the stack's one-time start-up for the process if it has not run yet (StackStarted).
    TNxStackLinux();

    int StackBind(TNxSocket socket, int family, int port, const std::string& localAddress) override;
    int StackClose(TNxSocket socket) override;
    int StackConnect(TNxSocket socket, int family, int port, const std::string& address) override;
    int StackConnectWithin(TNxSocket socket, int family, int port, const std::string& address,
                           int timeoutMs) override;
    std::string HostByName(const std::string& host) override;
    std::string HostByNameIpv6Only(const std::string& host) override;
    int StackReceive(TNxSocket socket, void* buffer, int length, int flags) override;
    int WaitSockets(TNxSocketList* readList, TNxSocketList* writeList, TNxSocketList* errorList,
                    int timeoutMs) override;
    int StackSend(TNxSocket socket, const void* buffer, int length, int flags) override;
    int StackSendTo(TNxSocket socket, const void* buffer, int length, int flags, const std::string& address,
                    int port, int ttl) override;
    int StackSetOption(TNxSocket socket, int level, int option, const void* value, int length) override;
    TNxSocket StackSocket(int family, int type, int protocol) override;
    int StackShutdown(TNxSocket socket, int how) override;
    // Adds 11001 "Host nicht gefunden." to the common table.
    std::string DescribeError(int code) override;
    int PlatformErrorCode() override;
    void PeerName(TNxSocket socket, int& family, std::string& address, int& port) override;
    void LocalName(TNxSocket socket, int& family, std::string& address, int& port) override;
    int StackReceiveDatagram(TNxSocket socket, void* buffer, int length, int flags,
                             TNxDatagramInfo& info) override;
};

// Winsock code for a resolver h_errno value (11001 not found, 11002 try again, 11003
// non-recoverable, 11004 no data).
int resolverCodeToWinsock(int hErrno);

// How often the stack's process-wide start-up has run (at most once per process).
int StackStartupCount();
// Whether the start-up has run in this process; set once, never cleared.
bool StackStarted();

} // namespace orvex
