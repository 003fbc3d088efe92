#include "platform/TcpCloseWatch.h"

#include "platform/Fd.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex {

struct TcpCloseWatch::Shared {
    Fd netlink;
    Fd stop; // an eventfd: written once to end the listener
    std::mutex mutex;
    std::vector<ClosedTcpSocket> queue; // under mutex
    std::size_t lost = 0;               // under mutex
};

namespace {

constexpr std::size_t kReceiveBuffer = 4 << 20;
constexpr std::size_t kHeaderLength = NLMSG_ALIGN(sizeof(nlmsghdr));

// Reads every datagram waiting on the socket into the queue; false when the socket failed.
bool drain(TcpCloseWatch::Shared& shared, std::vector<char>& buffer, std::vector<ClosedTcpSocket>& batch);

} // namespace

TcpCloseWatch::TcpCloseWatch() = default;

TcpCloseWatch::~TcpCloseWatch() {
    if (shared_ && shared_->stop.valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(shared_->stop.get(), &one, sizeof one);
    }
    listener_.join();
}

bool TcpCloseWatch::start() {
    if (running()) return true;
    auto shared = std::make_shared<Shared>();
    shared->netlink = Fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_SOCK_DIAG));
    shared->stop = Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!shared->netlink.valid() || !shared->stop.valid()) return false;
    // As large a receive buffer as we may have: beyond rmem_max only with CAP_NET_ADMIN.
    int size = static_cast<int>(kReceiveBuffer);
    if (::setsockopt(shared->netlink.get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(shared->netlink.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(shared->netlink.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;
    for (int group : {SKNLGRP_INET_TCP_DESTROY, SKNLGRP_INET6_TCP_DESTROY})
        if (::setsockopt(shared->netlink.get(), SOL_NETLINK, NETLINK_ADD_MEMBERSHIP, &group, sizeof group) !=
            0)
            return false;
    try {
        listener_ = JoinableThread([shared] {
            std::vector<char> buffer(65536);
            std::vector<ClosedTcpSocket> batch;
            pollfd waits[2] = {{shared->netlink.get(), POLLIN, 0}, {shared->stop.get(), POLLIN, 0}};
            for (;;) {
                if (::poll(waits, 2, -1) < 0 && errno != EINTR) return;
                if (waits[1].revents != 0) return;
                if (waits[0].revents != 0 && !drain(*shared, buffer, batch)) return;
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    shared_ = std::move(shared);
    return true;
}

std::size_t TcpCloseWatch::take(std::vector<ClosedTcpSocket>& out) {
    out.clear();
    if (!shared_) return 0;
    std::lock_guard lock(shared_->mutex);
    out.swap(shared_->queue);
    return std::exchange(shared_->lost, 0);
}

namespace {

bool drain(TcpCloseWatch::Shared& shared, std::vector<char>& buffer, std::vector<ClosedTcpSocket>& batch) {
    batch.clear();
    std::size_t lost = 0;
    bool failed = false;
    for (;;) {
        const ssize_t got = ::recv(shared.netlink.get(), buffer.data(), buffer.size(), MSG_TRUNC);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno == ENOBUFS) { // the kernel dropped broadcasts: say so, and go on
                ++lost;
                continue;
            }
            failed = errno != EAGAIN;
            break;
        }
        if (static_cast<std::size_t>(got) > buffer.size()) {
            ++lost;
            continue;
        }
        const auto seen = std::chrono::system_clock::now();
        std::size_t offset = 0;
        const auto length = static_cast<std::size_t>(got);
        while (offset + sizeof(nlmsghdr) <= length) {
            nlmsghdr header;
            std::memcpy(&header, buffer.data() + offset, sizeof header);
            if (header.nlmsg_len < kHeaderLength || offset + header.nlmsg_len > length) break;
            const char* payload = buffer.data() + offset + kHeaderLength;
            const std::size_t payloadLength = header.nlmsg_len - kHeaderLength;
            offset += NLMSG_ALIGN(header.nlmsg_len);
            if (header.nlmsg_type != SOCK_DIAG_BY_FAMILY) continue;
            ClosedTcpSocket closed;
            unsigned linuxState = 0;
            if (!parseSockDiagMessage(payload, payloadLength, closed.Row, linuxState)) continue;
            closed.Seen = seen;
            batch.push_back(closed);
        }
    }
    std::lock_guard lock(shared.mutex);
    for (ClosedTcpSocket& closed : batch) {
        if (shared.queue.size() >= TcpCloseWatch::kQueueLimit)
            ++lost;
        else
            shared.queue.push_back(closed);
    }
    shared.lost += lost;
    return !failed;
}

} // namespace

} // namespace orvex
