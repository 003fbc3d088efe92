// A TCP listener on an ephemeral loopback port, IPv4 or IPv6, for the drivers that make
// connections of their own (bench_hold_connections, bench_close_watch).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>

struct LoopbackListener {
    int fd = -1; // < 0 when it could not be opened (the reason is printed)
    int family = AF_INET;
    sockaddr_storage address{}; // where clients connect
    socklen_t length = 0;
    std::uint16_t port = 0;
};

inline LoopbackListener listenOnLoopback(bool v6) {
    LoopbackListener l;
    l.family = v6 ? AF_INET6 : AF_INET;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&l.address);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_loopback;
        l.length = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&l.address);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        l.length = sizeof *a;
    }
    l.fd = ::socket(l.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (l.fd < 0 || ::bind(l.fd, reinterpret_cast<sockaddr*>(&l.address), l.length) != 0 ||
        ::listen(l.fd, 4096) != 0 ||
        ::getsockname(l.fd, reinterpret_cast<sockaddr*>(&l.address), &l.length) != 0) {
        std::perror("listener");
        l.fd = -1;
        return l;
    }
    l.port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&l.address)->sin6_port
                      : reinterpret_cast<sockaddr_in*>(&l.address)->sin_port);
    return l;
}
