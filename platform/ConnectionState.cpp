#include "platform/ConnectionState.h"

#include "platform/Fd.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

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
        // for it; isConnected() does, until it is there.
        if (wake_.valid())
            watcher_ = std::thread([this] { watch(); });
        else
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

private:
    void publish(bool connected) {
        connected_.store(connected, std::memory_order_relaxed);
        if (!known_.exchange(true, std::memory_order_release)) known_.notify_all();
    }

    void watch() {
        publish(readDefaultRouteIsUp());
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {netlink_.get(), POLLIN, 0}};
        const nfds_t count = netlink_.valid() ? 2 : 1;
        for (;;) {
            const int ready = ::poll(fds, count, 1000);
            if (ready > 0 && (fds[0].revents & POLLIN)) return;
            if (ready > 0 && count == 2 && (fds[1].revents & POLLIN)) {
                char drain[8192];
                while (::recv(netlink_.get(), drain, sizeof drain, MSG_DONTWAIT) > 0) {
                }
            }
            publish(readDefaultRouteIsUp());
        }
    }

    std::atomic<bool> connected_{false};
    std::atomic<bool> known_{false}; // connected_ holds a reading
    Fd wake_;
    Fd netlink_;
    std::thread watcher_;
};

// /proc/net/ipv6_route: destination, prefix length, source, source prefix length, next hop, metric,
// reference count, use, flags, device. The kernel's "unreachable" default sits on loopback and
// carries RTF_REJECT.
bool readIpv6DefaultRouteIsUp() {
    std::ifstream routes("/proc/net/ipv6_route");
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
    std::ifstream routes("/proc/net/route");
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
