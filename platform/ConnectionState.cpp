#include "platform/ConnectionState.h"

#include "platform/Fd.h"
#include "platform/Threads.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <system_error>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex {

namespace {

bool interfaceIsUsable(const std::string& name) {
    Fd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.valid()) return false;
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name.c_str());
    if (::ioctl(sock.get(), SIOCGIFFLAGS, &request) != 0) return false;
    const auto flags = request.ifr_flags;
    return (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
}

class LinuxConnectionState final : public ConnectionState {
public:
    LinuxConnectionState() {
        wake_ = Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        netlink_ = Fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
        if (netlink_.valid()) {
            sockaddr_nl local{};
            local.nl_family = AF_NETLINK;
            local.nl_groups =
                RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_ROUTE | RTMGRP_IPV6_IFADDR;
            if (::bind(netlink_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
                netlink_.reset();
        }
        // The first reading of the route tables (some hundred microseconds) is the watcher's first
        // task, so that whoever creates this (the main window, as the program starts) need not wait
        // for it; isConnected() does, until it is there. The netlink socket is bound before it, so
        // no change after the reading is missed.
        if (wake_.valid()) {
            try {
                watcher_ = JoinableThread([this] { watch(); });
                return;
            } catch (const std::system_error&) {
                // No thread to be had: one reading here, never updated.
            }
        }
        publish(readDefaultRouteIsUp());
    }

    ~LinuxConnectionState() override {
        if (watcher_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] auto written = ::write(wake_.get(), &one, sizeof one);
            watcher_.join();
        }
    }

    bool isConnected() override {
        known_.wait(false, std::memory_order_acquire);
        return connected_.load(std::memory_order_relaxed);
    }

    void onChange(std::function<void()> changed) override {
        std::lock_guard lock(changedMutex_);
        changed_ = std::move(changed);
    }

private:
    void publish(bool connected) {
        const bool before = connected_.exchange(connected, std::memory_order_relaxed);
        if (!known_.exchange(true, std::memory_order_release)) {
            known_.notify_all();
            return; // the first reading: whoever asks gets it, nobody has seen another
        }
        if (before == connected) return;
        std::lock_guard lock(changedMutex_);
        if (changed_) changed_();
    }

    // Sleeps until the kernel reports a link, address or route change (or the owner goes), then
    // reads the answer again. Without a netlink socket it has nothing to wait for and reads once a
    // second instead.
    void watch() {
        publish(readDefaultRouteIsUp());
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {netlink_.get(), POLLIN, 0}};
        const nfds_t count = netlink_.valid() ? 2 : 1;
        const int timeout = netlink_.valid() ? -1 : kPollWithoutNetlinkMs;
        for (;;) {
            const int ready = ::poll(fds, count, timeout);
            if (ready < 0 && errno == EINTR) continue;
            if (ready > 0 && (fds[0].revents & POLLIN)) return;
            if (ready > 0 && count == 2 && (fds[1].revents & POLLIN)) {
                // A burst of notifications (an interface going up brings its addresses and routes)
                // makes one reading; an overflowed socket (ENOBUFS) lost some, and the reading
                // covers them too.
                char drain[8192];
                while (::recv(netlink_.get(), drain, sizeof drain, MSG_DONTWAIT) > 0 || errno == ENOBUFS) {
                }
            }
            publish(readDefaultRouteIsUp());
        }
    }

    static constexpr int kPollWithoutNetlinkMs = 1000;

    std::atomic<bool> connected_{false};
    std::atomic<bool> known_{false}; // connected_ holds a reading
    std::mutex changedMutex_;
    std::function<void()> changed_;
    Fd wake_;
    Fd netlink_;
    JoinableThread watcher_; // last: it ends before the members it uses
};

// The routing tables of the calling thread's network namespace (/proc/net is the main thread's).
std::ifstream openRouteTable(const char* name) {
    std::ifstream table(std::string("/proc/thread-self/net/") + name);
    if (!table.is_open()) table.open(std::string("/proc/net/") + name);
    return table;
}

// /proc/net/ipv6_route: destination, prefix length, source, source prefix length, next hop, metric,
// reference count, use, flags, device. The kernel's "unreachable" default sits on loopback and
// carries RTF_REJECT.
bool readIpv6DefaultRouteIsUp() {
    std::ifstream routes = openRouteTable("ipv6_route");
    std::string line;
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, refcnt, use, flags, iface;
        if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >> refcnt >>
              use >> flags >> iface))
            continue;
        const unsigned long routeFlags = std::strtoul(flags.c_str(), nullptr, 16);
        constexpr unsigned long kRouteUp = 0x0001, kRouteReject = 0x0200;
        if (destination == std::string(32, '0') && prefix == "00" && (routeFlags & kRouteUp) &&
            !(routeFlags & kRouteReject) && interfaceIsUsable(iface))
            return true;
    }
    return false;
}

bool readIpv4DefaultRouteIsUp() {
    std::ifstream routes = openRouteTable("route");
    std::string line;
    std::getline(routes, line); // column titles
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refcnt, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refcnt >> use >> metric >> mask))
            continue;
        const unsigned long routeFlags = std::strtoul(flags.c_str(), nullptr, 16);
        constexpr unsigned long kRouteUp = 0x0001;
        if (destination == "00000000" && mask == "00000000" && (routeFlags & kRouteUp) &&
            interfaceIsUsable(iface))
            return true;
    }
    return false;
}

} // namespace

bool readDefaultRouteIsUp() {
    return readIpv4DefaultRouteIsUp() || readIpv6DefaultRouteIsUp();
}

std::unique_ptr<ConnectionState> makeSystemConnectionState() {
    return std::make_unique<LinuxConnectionState>();
}

} // namespace orvex
