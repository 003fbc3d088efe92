#include "net/TNxStackLinux.h"

#include "platform/Ipv6Text.h"
#include "platform/WinsockErrors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex {

namespace {

// The Windows Sockets code of the last failed call on this thread (WSAGetLastError).
thread_local int lastPlatformCode = 0;

std::atomic<bool> stackStarted{false};
std::atomic<int> stackStartups{0};

int failWithErrno() {
    lastPlatformCode = errnoToWinsock(errno);
    return -1;
}

int record(int result) {
    return result == -1 ? failWithErrno() : result;
}

sockaddr_in makeAddress(int family, int port, std::string_view address) {
    sockaddr_in record{};
    record.sin_family = static_cast<sa_family_t>(family);
    record.sin_port = htons(static_cast<std::uint16_t>(port));
    const auto bytes = TNxStack::TextToAddress(address);
    std::memcpy(&record.sin_addr, bytes.data(), 4);
    return record;
}

std::string addressText(const in_addr& address) {
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address, 4);
    return TNxStack::AddressToText(bytes);
}

} // namespace

int resolverCodeToWinsock(int hErrno) {
    switch (hErrno) {
    case HOST_NOT_FOUND:
        return 11001;
    case TRY_AGAIN:
        return 11002;
    case NO_RECOVERY:
        return 11003;
    case NO_DATA:
        return 11004;
    default:
        return 11003;
    }
}

int StackStartupCount() {
    return stackStartups.load();
}

bool StackStarted() {
    return stackStarted.load();
}

TNxStackLinux::TNxStackLinux() {
    // The BSD socket interface needs no start-up call; the flag keeps the once-per-process contract
    // that callers and tests observe.
    bool expected = false;
    if (stackStarted.compare_exchange_strong(expected, true)) ++stackStartups;
}

int TNxStackLinux::StackBind(TNxSocket socket, int family, int port, const std::string& localAddress) {
    const sockaddr_in address = makeAddress(family, port, localAddress);
    return record(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int TNxStackLinux::StackClose(TNxSocket socket) {
    return record(::close(socket));
}

namespace {

// A port outside 1..65535 would be cut to 16 bits and connect somewhere else; Windows answers a
// connect to port 0 with 10049, and so does this layer for every port that is none.
bool refuseNoPort(int port) {
    if (port >= 1 && port <= 65535) return false;
    lastPlatformCode = WSAEADDRNOTAVAIL;
    return true;
}

} // namespace

int TNxStackLinux::StackConnect(TNxSocket socket, int family, int port, const std::string& address) {
    if (refuseNoPort(port)) return -1;
    const sockaddr_in target = makeAddress(family, port, address);
    return record(::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target));
}

int TNxStackLinux::StackConnectWithin(TNxSocket socket, int family, int port, const std::string& address,
                                      int timeoutMs) {
    if (timeoutMs <= 0 || refuseNoPort(port)) return StackConnect(socket, family, port, address);
    // The socket stays blocking for everything else; only the connect waits with a limit.
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags == -1) return failWithErrno();
    if (::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == -1) return failWithErrno();
    const sockaddr_in target = makeAddress(family, port, address);
    int error = 0;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) == -1) {
        error = errno;
        if (error == EINPROGRESS) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            pollfd ready{socket, POLLOUT, 0};
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                const int n = ::poll(&ready, 1, static_cast<int>(std::max<long long>(0, left.count())));
                if (n == 0) {
                    error = ETIMEDOUT;
                    break;
                }
                if (n > 0) {
                    socklen_t length = sizeof error;
                    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == -1) error = errno;
                    break;
                }
                if (errno != EINTR) {
                    error = errno;
                    break;
                }
            }
        }
    }
    ::fcntl(socket, F_SETFL, flags);
    if (error == 0) return 0;
    errno = error;
    return failWithErrno();
}

std::string TNxStackLinux::HostByName(const std::string& host) {
    hostent entry{};
    hostent* result = nullptr;
    std::vector<char> buffer(1024);
    int hErrno = 0;
    int rc;
    while ((rc = ::gethostbyname2_r(host.c_str(), AF_INET, &entry, buffer.data(), buffer.size(), &result,
                                    &hErrno)) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || result == nullptr || result->h_addr_list == nullptr || result->h_addr_list[0] == nullptr ||
        result->h_length != 4) {
        lastPlatformCode = resolverCodeToWinsock(hErrno != 0 ? hErrno : NO_RECOVERY);
        LastCode = lastPlatformCode;
        ThrowSocketError(lastPlatformCode);
    }
    in_addr first{};
    std::memcpy(&first, result->h_addr_list[0], 4);
    return addressText(first);
}

std::string TNxStackLinux::HostByNameIpv6Only(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return {};
    const sockaddr_in6* first = nullptr;
    bool hasIpv4 = false;
    for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET) hasIpv4 = true;
        if (entry->ai_family == AF_INET6 && !first && entry->ai_addrlen >= sizeof(sockaddr_in6))
            first = reinterpret_cast<const sockaddr_in6*>(entry->ai_addr);
    }
    std::string text = first && !hasIpv4 ? ipv6Text(first->sin6_addr) : std::string();
    if (!text.empty()) {
        char zone[IF_NAMESIZE];
        if (first->sin6_scope_id != 0 && ::if_indextoname(first->sin6_scope_id, zone))
            text.append(1, '%').append(zone);
    }
    ::freeaddrinfo(list);
    return text;
}

int TNxStackLinux::StackReceive(TNxSocket socket, void* buffer, int length, int flags) {
    iovec part{buffer, static_cast<std::size_t>(length)};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t received = ::recvmsg(socket, &message, flags);
    if (received < 0) return failWithErrno();
    if (message.msg_flags & MSG_TRUNC) {
        lastPlatformCode = WSAEMSGSIZE;
        return -1;
    }
    return static_cast<int>(received);
}

namespace {

// One recvmsg call's message: the caller's buffer, the sender's address and room for the control
// messages (TTL, queued ICMP errors). Holds pointers to its own members, so it stays in place.
struct DatagramMessage {
    DatagramMessage(void* buffer, int length) : part{buffer, static_cast<std::size_t>(length)} {
        header.msg_name = &from;
        header.msg_namelen = sizeof from;
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
    }
    DatagramMessage(const DatagramMessage&) = delete;
    DatagramMessage& operator=(const DatagramMessage&) = delete;

    // Copies the received TTL into info when the control messages carry one.
    void readTtl(TNxDatagramInfo& info) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
                int ttl = 0;
                std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
                info.Ttl = ttl;
            }
        }
    }

    iovec part;
    sockaddr_in from{};
    alignas(cmsghdr) char control[512];
    msghdr header{};
};

// The next ICMP error queued for the socket (IP_RECVERR), with the start of the datagram that
// caused it in buffer. False when none is queued.
bool readQueuedIcmpError(TNxSocket socket, void* buffer, int length, TNxDatagramInfo& info, int& received) {
    DatagramMessage message(buffer, length);
    const ssize_t n = ::recvmsg(socket, &message.header, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (n < 0) return false;
    message.readTtl(info);
    bool found = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message.header); c != nullptr; c = CMSG_NXTHDR(&message.header, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
        sock_extended_err error{};
        std::memcpy(&error, CMSG_DATA(c), sizeof error);
        if (error.ee_origin != SO_EE_ORIGIN_ICMP) continue;
        sockaddr_in offender{};
        std::memcpy(&offender, CMSG_DATA(c) + sizeof error, sizeof offender);
        info.IcmpError = true;
        info.IcmpType = error.ee_type;
        info.IcmpCode = error.ee_code;
        info.SourceAddress = addressText(offender.sin_addr);
        found = true;
    }
    info.ErrorDestination = addressText(message.from.sin_addr);
    info.ErrorCut = (message.header.msg_flags & MSG_TRUNC) != 0;
    received = static_cast<int>(n);
    return found;
}

} // namespace

int TNxStackLinux::StackReceiveDatagram(TNxSocket socket, void* buffer, int length, int flags,
                                        TNxDatagramInfo& info) {
    DatagramMessage message(buffer, length);
    info = TNxDatagramInfo{};
    const ssize_t received = ::recvmsg(socket, &message.header, flags);
    if (received < 0) {
        // An ICMP error for an earlier send ends the receive with its errno; the queued report
        // says which message it was.
        const int failure = errno;
        int errorLength = 0;
        // Nothing queued (a receive that does not wait) is no report of an error.
        if (failure != EAGAIN && readQueuedIcmpError(socket, buffer, length, info, errorLength))
            return errorLength;
        errno = failure;
        return failWithErrno();
    }
    info.SourceAddress = addressText(message.from.sin_addr);
    message.readTtl(info);
    if (message.header.msg_flags & MSG_TRUNC) {
        lastPlatformCode = WSAEMSGSIZE;
        return -1;
    }
    return static_cast<int>(received);
}

int TNxStackLinux::WaitSockets(TNxSocketList* readList, TNxSocketList* writeList, TNxSocketList* errorList,
                               int timeoutMs) {
    TNxSocketList* lists[3] = {readList, writeList, errorList};
    for (auto* list : lists)
        if (list != nullptr && list->size() > kMaxWaitSockets)
            throw ENxStackSetSizeExceeded(nxtext::kSetSizeExceeded);
    if (timeoutMs < 0 && timeoutMs != -2) {
        // select rejects a negative time.
        lastPlatformCode = errnoToWinsock(EINVAL);
        return -1;
    }
    // poll instead of select: same answers, and no limit on descriptor numbers (fd_set holds
    // descriptors below 1024 only).
    constexpr short kReadEvents = POLLIN | POLLHUP | POLLERR | POLLRDHUP;
    constexpr short kWriteEvents = POLLOUT | POLLERR;
    constexpr short kErrorEvents = POLLPRI;
    const short wanted[3] = {kReadEvents, kWriteEvents, kErrorEvents};
    const short asked[3] = {POLLIN | POLLRDHUP, POLLOUT, POLLPRI};
    pollfd fds[3 * kMaxWaitSockets];
    std::size_t count = 0;
    for (int l = 0; l < 3; ++l)
        if (lists[l] != nullptr)
            for (TNxSocket s : *lists[l])
                fds[count++] = pollfd{s, asked[l], 0};

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int rc;
    for (;;) {
        int wait = -1;
        if (timeoutMs != -2) {
            // Rounded up: a wait cut to whole milliseconds would end before the deadline.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        rc = ::poll(fds, count, wait);
        if (rc >= 0 || errno != EINTR) break;
    }
    if (rc < 0) return failWithErrno();
    for (std::size_t i = 0; i < count; ++i)
        if (fds[i].revents & POLLNVAL) {
            // select reports a descriptor that is not open as an error of the whole call.
            lastPlatformCode = errnoToWinsock(EBADF);
            return -1;
        }
    int ready = 0;
    std::size_t index = 0;
    for (int l = 0; l < 3; ++l) {
        if (lists[l] == nullptr) continue;
        TNxSocketList kept;
        for (TNxSocket s : *lists[l]) {
            if (fds[index++].revents & wanted[l]) kept.push_back(s);
        }
        ready += static_cast<int>(kept.size());
        *lists[l] = std::move(kept);
    }
    return ready;
}

int TNxStackLinux::StackSend(TNxSocket socket, const void* buffer, int length, int flags) {
    const ssize_t sent = ::send(socket, buffer, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL);
    return sent < 0 ? failWithErrno() : static_cast<int>(sent);
}

int TNxStackLinux::StackSendTo(TNxSocket socket, const void* buffer, int length, int flags,
                               const std::string& address, int port, int ttl) {
    sockaddr_in target = makeAddress(kAfInet, port, address);
    iovec part{const_cast<void*>(buffer), static_cast<std::size_t>(length)};
    msghdr message{};
    message.msg_name = &target;
    message.msg_namelen = sizeof target;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    // The time-to-live as a control message costs no system call of its own, unlike the socket
    // option; the kernel checks the range as it does for the option.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (ttl != -1) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_TTL;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &ttl, sizeof ttl);
    }
    const ssize_t sent = ::sendmsg(socket, &message, flags | MSG_NOSIGNAL);
    return sent < 0 ? failWithErrno() : static_cast<int>(sent);
}

int TNxStackLinux::StackSetOption(TNxSocket socket, int level, int option, const void* value, int length) {
    return record(::setsockopt(socket, level, option, value, static_cast<socklen_t>(length)));
}

TNxSocket TNxStackLinux::StackSocket(int family, int type, int protocol) {
    const int s = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (s < 0) {
        failWithErrno();
        return kInvalidSocket;
    }
    return s;
}

int TNxStackLinux::StackShutdown(TNxSocket socket, int how) {
    return record(::shutdown(socket, how));
}

std::string TNxStackLinux::DescribeError(int code) {
    if (code == WSAHOST_NOT_FOUND_CODE) return SocketErrorMessage(code, "Host nicht gefunden.");
    return TNxStack::DescribeError(code);
}

int TNxStackLinux::PlatformErrorCode() {
    return lastPlatformCode;
}

namespace {

// The far or near end of a socket, read with getpeername or getsockname; failures raise through
// the stack's CheckResult before anything is written.
void readSocketName(TNxStack& stack, int (*getName)(int, sockaddr*, socklen_t*), TNxSocket socket,
                    int& family, std::string& address, int& port) {
    sockaddr_in name{};
    socklen_t length = sizeof name;
    stack.CheckResult(record(getName(socket, reinterpret_cast<sockaddr*>(&name), &length)));
    family = name.sin_family;
    address = addressText(name.sin_addr);
    port = ntohs(name.sin_port);
}

} // namespace

void TNxStackLinux::PeerName(TNxSocket socket, int& family, std::string& address, int& port) {
    readSocketName(*this, ::getpeername, socket, family, address, port);
}

void TNxStackLinux::LocalName(TNxSocket socket, int& family, std::string& address, int& port) {
    readSocketName(*this, ::getsockname, socket, family, address, port);
}

} // namespace orvex
