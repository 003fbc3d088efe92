#include "resolve/WinsockIntf.h"

#include "platform/Exception.h"
#include "platform/WinsockErrors.h"

#include <cerrno>
#include <cstring>
#include <map>

#include <arpa/inet.h>
#include <unistd.h>

namespace orvex {

namespace {

std::uint16_t swap16(std::uint16_t value) {
    return htons(value);
}

// The Windows Sockets code of a failed lookup; one that failed without a resolver code (0 or
// NETDB_INTERNAL) counts as non-recoverable.
int lookupError(int hErrno) {
    return resolverErrorToWinsock(hErrno != 0 && hErrno != NETDB_INTERNAL ? hErrno : NO_RECOVERY);
}

} // namespace

#undef htons
#undef ntohs

TWinsockIntfBase* SocketApi = nullptr;

namespace {
std::unique_ptr<TWinsockIntfBase>& socketApiOwner() {
    static std::unique_ptr<TWinsockIntfBase> owner;
    return owner;
}
} // namespace

std::unique_ptr<TWinsockIntfBase> installSocketApi(std::unique_ptr<TWinsockIntfBase> api) {
    auto previous = std::move(socketApiOwner());
    socketApiOwner() = std::move(api);
    SocketApi = socketApiOwner().get();
    return previous;
}

std::string SocketErrorText(int code) {
    static const std::map<int, const char*> texts = {
        {10004, "Interrupted system call."},
        {10009, "Bad file number."},
        {10013, "Access denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Operation would block. "},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported on socket."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Can't assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Net dropped connection or reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send or receive after socket is closed."},
        {10059, "Too many references, can't splice."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10062, "Too many levels of symbolic links."},
        {10063, "File name too long."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
        {10067, "Too many processes."},
        {10068, "Too many users."},
        {10069, "Disk Quota Exceeded."},
        {10070, "Stale NFS file handle."},
        {10071, "Too many levels of remote in path."},
        {10091, "Network subsystem is unavailable."},
        {10092, "WINSOCK DLL Version out of range."},
        {10093, "Winsock not loaded yet."},
        {11001, "Host not found."},
        {11002, "Non-authoritative response (try again or check DNS setup)."},
        {11003, "Non-recoverable errors: FORMERR, REFUSED, NOTIMP."},
        {11004, "Valid name, no data record (check DNS setup)."},
    };
    const auto found = texts.find(code);
    return found == texts.end() ? std::string() : std::string(found->second);
}

int resolverErrorToWinsock(int hErrno) {
    switch (hErrno) {
    case HOST_NOT_FOUND:
        return WSAHOST_NOT_FOUND;
    case TRY_AGAIN:
        return WSATRY_AGAIN;
    case NO_DATA:
        return WSANO_DATA;
    default: // NO_RECOVERY and NETDB_INTERNAL
        return WSANO_RECOVERY;
    }
}

namespace {

// The host entry and the last error belong to the calling thread, as on the platform the interface
// was made for: a lookup on a worker thread never meets another thread's entry.
struct ThreadResolverState {
    int lastError = 0;
    hostent entry{};
    std::vector<char> buffer = std::vector<char>(16384);
};

ThreadResolverState& threadState() {
    thread_local ThreadResolverState state;
    return state;
}

} // namespace

TWinsockIntf11::TWinsockIntf11() {
    // BSD sockets need no start-up call on Linux; the library is always available.
}

int TWinsockIntf11::recordSocketResult(int result) {
    if (result < 0) threadState().lastError = errnoToWinsock(errno);
    return result;
}

int TWinsockIntf11::connect(TSocket s, const sockaddr* name, socklen_t length) {
    return recordSocketResult(::connect(s, name, length));
}

const hostent* TWinsockIntf11::gethostbyaddr(const void* address, int length, int family) {
    ThreadResolverState& state = threadState();
    hostent* result = nullptr;
    int hErrno = 0;
    int rc;
    while ((rc = ::gethostbyaddr_r(address, static_cast<socklen_t>(length), family, &state.entry,
                                   state.buffer.data(), state.buffer.size(), &result, &hErrno)) == ERANGE)
        state.buffer.resize(state.buffer.size() * 2);
    if (!result) state.lastError = lookupError(hErrno);
    return result;
}

std::uint16_t(TWinsockIntf11::htons)(std::uint16_t value) {
    return swap16(value);
}
std::uint16_t(TWinsockIntf11::ntohs)(std::uint16_t value) {
    return swap16(value);
}

std::uint32_t TWinsockIntf11::inet_addr(const char* text) {
    return ::inet_addr(text);
}

int TWinsockIntf11::gethostname(char* name, int length) {
    return recordSocketResult(::gethostname(name, static_cast<std::size_t>(length)));
}

const hostent* TWinsockIntf11::gethostbyname(const char* name) {
    return TWinsockIntf11::gethostbyname2(name, AF_INET);
}

const hostent* TWinsockIntf11::gethostbyname2(const char* name, int family) {
    ThreadResolverState& state = threadState();
    hostent* result = nullptr;
    int hErrno = 0;
    int rc;
    while ((rc = ::gethostbyname2_r(name, family, &state.entry, state.buffer.data(), state.buffer.size(),
                                    &result, &hErrno)) == ERANGE)
        state.buffer.resize(state.buffer.size() * 2);
    if (!result) state.lastError = lookupError(hErrno);
    return result;
}

std::string TWinsockIntf11::SocketErrorText(int code) {
    return orvex::SocketErrorText(code);
}

int TWinsockIntf11::WSAGetLastError() {
    return threadState().lastError;
}

int TWinsockIntf11::recv(TSocket s, void* buffer, int length, int flags) {
    return recordSocketResult(static_cast<int>(::recv(s, buffer, static_cast<std::size_t>(length), flags)));
}

int TWinsockIntf11::recvfrom(TSocket s, void* buffer, int length, int flags, sockaddr* from,
                             socklen_t* fromLength) {
    return recordSocketResult(
        static_cast<int>(::recvfrom(s, buffer, static_cast<std::size_t>(length), flags, from, fromLength)));
}

int TWinsockIntf11::select(int count, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet,
                           timeval* timeout) {
    return recordSocketResult(::select(count, readSet, writeSet, exceptSet, timeout));
}

int TWinsockIntf11::send(TSocket s, const void* buffer, int length, int flags) {
    return recordSocketResult(
        static_cast<int>(::send(s, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL)));
}

int TWinsockIntf11::sendto(TSocket s, const void* buffer, int length, int flags, const sockaddr* to,
                           socklen_t toLength) {
    return recordSocketResult(static_cast<int>(
        ::sendto(s, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL, to, toLength)));
}

int TWinsockIntf11::setsockopt(TSocket s, int level, int option, const void* value, socklen_t length) {
    return recordSocketResult(::setsockopt(s, level, option, value, length));
}

std::string TWinsockIntf11::inet_ntoa(std::uint32_t address) {
    in_addr in{};
    in.s_addr = address;
    return ::inet_ntoa(in);
}

int TWinsockIntf11::listen(TSocket s, int backlog) {
    return recordSocketResult(::listen(s, backlog));
}

TSocket TWinsockIntf11::accept(TSocket s, sockaddr* address, socklen_t* length) {
    return recordSocketResult(::accept4(s, address, length, SOCK_CLOEXEC));
}

int TWinsockIntf11::bind(TSocket s, const sockaddr* address, socklen_t length) {
    return recordSocketResult(::bind(s, address, length));
}

int TWinsockIntf11::closesocket(TSocket s) {
    return recordSocketResult(::close(s));
}

TSocket TWinsockIntf11::socket(int family, int type, int protocol) {
    return recordSocketResult(::socket(family, type | SOCK_CLOEXEC, protocol));
}

} // namespace orvex
