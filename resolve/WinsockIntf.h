// The program's own small socket-interface library: an abstract table of the socket functions
// (TWinsockIntfBase), its implementation over the platform resolver (TWinsockIntf11) and the one
// global instance SocketApi, created at start-up before any window.
//
// Lookups call through SocketApi from worker threads, one lookup per thread at a time. Host entries
// returned by gethostbyname and gethostbyaddr stay valid until the next lookup call on the same
// thread, and the last error is the calling thread's, like the platform's per-thread state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <netdb.h>
#include <sys/select.h>
#include <sys/socket.h>

namespace orvex {

using TSocket = int;

// Windows Sockets error codes used by the resolver library.
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;
constexpr std::uint32_t INADDR_NONE_VALUE = 0xFFFFFFFFu;

class TWinsockIntfBase {
public:
    virtual ~TWinsockIntfBase() = default;

    // One slot per socket function, in the table's fixed order. Names in parentheses so that the
    // platform's byte-order macros do not expand here.
    virtual int connect(TSocket s, const sockaddr* name, socklen_t length) = 0;
    virtual const hostent* gethostbyaddr(const void* address, int length, int family) = 0;
    virtual std::uint16_t(htons)(std::uint16_t value) = 0;
    virtual std::uint16_t(ntohs)(std::uint16_t value) = 0;
    virtual std::uint32_t inet_addr(const char* text) = 0;
    virtual int gethostname(char* name, int length) = 0;
    virtual const hostent* gethostbyname(const char* name) = 0;
    virtual std::string SocketErrorText(int code) = 0;
    virtual int WSAGetLastError() = 0;
    virtual int recv(TSocket s, void* buffer, int length, int flags) = 0;
    virtual int recvfrom(TSocket s, void* buffer, int length, int flags, sockaddr* from,
                         socklen_t* fromLength) = 0;
    virtual int select(int count, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, timeval* timeout) = 0;
    virtual int send(TSocket s, const void* buffer, int length, int flags) = 0;
    virtual int sendto(TSocket s, const void* buffer, int length, int flags, const sockaddr* to,
                       socklen_t toLength) = 0;
    virtual int setsockopt(TSocket s, int level, int option, const void* value, socklen_t length) = 0;
    virtual std::string inet_ntoa(std::uint32_t address) = 0;
    virtual int listen(TSocket s, int backlog) = 0;
    virtual TSocket accept(TSocket s, sockaddr* address, socklen_t* length) = 0;
    virtual int bind(TSocket s, const sockaddr* address, socklen_t length) = 0;
    virtual int closesocket(TSocket s) = 0;
    virtual TSocket socket(int family, int type, int protocol) = 0;

    // Added after the slots above, which keep their order: the forward lookup for one address
    // family (AF_INET6 for the IPv6 addresses of a name). Same result and error rules as
    // gethostbyname.
    virtual const hostent* gethostbyname2(const char* name, int family) = 0;
};

// Forwards every slot to the Linux socket and resolver functions. The resolver's h_errno and the
// socket errno are kept as Windows Sockets codes for WSAGetLastError.
class TWinsockIntf11 : public TWinsockIntfBase {
public:
    // Starts the socket library (version 1.1 requested). Throws orvex::Exception
    // "Winsock Initialization Error." when the start fails.
    TWinsockIntf11();

    int connect(TSocket s, const sockaddr* name, socklen_t length) override;
    const hostent* gethostbyaddr(const void* address, int length, int family) override;
    std::uint16_t(htons)(std::uint16_t value) override;
    std::uint16_t(ntohs)(std::uint16_t value) override;
    std::uint32_t inet_addr(const char* text) override;
    int gethostname(char* name, int length) override;
    const hostent* gethostbyname(const char* name) override;
    std::string SocketErrorText(int code) override;
    int WSAGetLastError() override;
    int recv(TSocket s, void* buffer, int length, int flags) override;
    int recvfrom(TSocket s, void* buffer, int length, int flags, sockaddr* from,
                 socklen_t* fromLength) override;
    int select(int count, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, timeval* timeout) override;
    int send(TSocket s, const void* buffer, int length, int flags) override;
    int sendto(TSocket s, const void* buffer, int length, int flags, const sockaddr* to,
               socklen_t toLength) override;
    int setsockopt(TSocket s, int level, int option, const void* value, socklen_t length) override;
    std::string inet_ntoa(std::uint32_t address) override;
    int listen(TSocket s, int backlog) override;
    TSocket accept(TSocket s, sockaddr* address, socklen_t* length) override;
    int bind(TSocket s, const sockaddr* address, socklen_t length) override;
    int closesocket(TSocket s) override;
    TSocket socket(int family, int type, int protocol) override;
    const hostent* gethostbyname2(const char* name, int family) override;

private:
    int recordSocketResult(int result);
};

// Windows Sockets text for a code; empty for codes outside the table.
std::string SocketErrorText(int code);

// Winsock code for a resolver h_errno value.
int resolverErrorToWinsock(int hErrno);

// The one global instance. Owned by the program's start-up (installSocketApi); tests may install a fake.
extern TWinsockIntfBase* SocketApi;

// Installs api as SocketApi for the rest of the run (or until the next call) and returns the
// previous one, so tests can restore it.
std::unique_ptr<TWinsockIntfBase> installSocketApi(std::unique_ptr<TWinsockIntfBase> api);

} // namespace orvex
