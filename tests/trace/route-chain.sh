#!/usr/bin/env bash
# route-chain.sh up NAME [loss=PCT] [silent=N] [ratelimit=N] [delay=MS] [pinggroups=all|none]
# route-chain.sh down NAME
# A path of five network namespaces for the route tracer's tests, as root:
#   NAME-c (client) - NAME-r1 - NAME-r2 - NAME-r3 - NAME-t (target)
# Links, each with IPv4 and IPv6 (the lower address on the router side, .2/::2 beyond it):
#   c-r1 10.201.1.0/24 fd20:1::/64, r1-r2 10.201.2.0/24 fd20:2::/64, r2-r3 10.201.3.0/24
#   fd20:3::/64, r3-t 10.201.4.0/24 fd20:4::/64; the target is 10.201.4.2 and fd20:4::2.
# Router 1 answers packets for 10.201.99.0/24 and fd20:99::/64 that it would forward with
# "destination unreachable". The routers
# answer without ICMP rate limits. Options:
#   loss=PCT      r2 drops PCT % of the packets it forwards towards r3 (nft numgen random)
#   silent=N      router N sends no time-exceeded messages (nft drop in its output hook)
#   ratelimit=N   router N keeps the kernel's ICMP rate limit (about one error a second per
#                 destination after a burst of six)
#   delay=MS      the r3-t link is a pair of tun devices joined by tun-link (this folder), which
#                 holds every packet MS ms in each direction (the kernel here has no netem);
#                 TUN_LINK names the helper's binary
#   pinggroups=   who may open ICMP datagram sockets in NAME-c: all (default) or none
# The client's /etc/hosts (ip netns exec) names the hops r1..r3.orvex.test and t.orvex.test (both
# families), v6.orvex.test is the target's IPv6 address only; it has no DNS server, so lookups end
# at the hosts file. Exits 77 when it cannot build the path.
set -eu
cmd=$1 name=$2
shift 2
nodes="c r1 r2 r3 t"
if [ "$cmd" = down ]; then
    [ -f "/run/$name-tun-link.pid" ] && kill "$(cat "/run/$name-tun-link.pid")" 2>/dev/null || true
    rm -f "/run/$name-tun-link.pid"
    for n in $nodes; do ip netns del "$name-$n" 2>/dev/null || true; done
    rm -rf "/etc/netns/$name-c"
    exit 0
fi
[ "$(id -u)" -eq 0 ] && command -v ip >/dev/null && command -v nft >/dev/null || {
    echo "skipped: needs root, iproute2 and nftables"
    exit 77
}
loss=0 silent=0 ratelimit=0 delay=0 pinggroups=all
for option in "$@"; do
    case $option in
    loss=* | silent=* | ratelimit=* | delay=* | pinggroups=*) eval "${option%%=*}=\${option#*=}" ;;
    *) echo "unknown option $option" >&2; exit 2 ;;
    esac
done
on() { local n=$1; shift; ip netns exec "$name-$n" "$@"; }
for n in $nodes; do
    ip netns add "$name-$n" || { echo "skipped: cannot create a network namespace"; exit 77; }
    on $n ip link set lo up
    on $n sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1 net.ipv4.icmp_ratelimit=0 \
        net.ipv6.icmp.ratelimit=0 net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
done
on c sysctl -qw net.ipv4.ip_forward=0 net.ipv6.conf.all.forwarding=0
if [ "$ratelimit" -gt 0 ]; then on r$ratelimit sysctl -qw net.ipv4.icmp_ratelimit=1000 net.ipv6.icmp.ratelimit=1000; fi
if [ "$pinggroups" = all ]; then
    on c sysctl -qw net.ipv4.ping_group_range="0 2147483647"
else
    on c sysctl -qw net.ipv4.ping_group_range="1 0"
fi

# link A B SUBNET: A gets .1 and ::1, B .2 and ::2
link() {
    local a=$1 b=$2 i=$3
    ip link add e$i netns "$name-$a" type veth peer name w$i netns "$name-$b"
    on $a ip addr add 10.201.$i.1/24 dev e$i
    on $a ip addr add fd20:$i::1/64 dev e$i nodad
    on $b ip addr add 10.201.$i.2/24 dev w$i
    on $b ip addr add fd20:$i::2/64 dev w$i nodad
    on $a ip link set e$i up
    on $b ip link set w$i up
}
link r1 c 1
link r1 r2 2
link r2 r3 3
if [ "$delay" -gt 0 ]; then
    "${TUN_LINK:?TUN_LINK names the tun-link helper}" "/run/netns/$name-r3" e4 "/run/netns/$name-t" w4 "$delay" \
        "/run/$name-tun-link.pid"
    on r3 ip addr add 10.201.4.1 peer 10.201.4.2 dev e4
    on t ip addr add 10.201.4.2 peer 10.201.4.1 dev w4
    on r3 ip addr add fd20:4::1/64 dev e4 nodad
    on t ip addr add fd20:4::2/64 dev w4 nodad
    on r3 ip link set e4 up
    on t ip link set w4 up
else
    link r3 t 4
fi
# The client's side of link 1 is w1 with .2; the routers send everything else onwards.
on c ip route add default via 10.201.1.1
on c ip -6 route add default via fd20:1::1
on r1 ip route add default via 10.201.2.2
# An nft reject, not an unreachable route: the kernel limits the answers to failed route lookups
# to about one a second, for every netns alike.
on r1 nft -f - <<NFT
table inet orvex_unreachable {
    chain forward {
        type filter hook forward priority 0;
        ip daddr 10.201.99.0/24 reject with icmp type net-unreachable
        ip6 daddr fd20:99::/64 reject with icmpv6 type no-route
    }
}
NFT
on r1 ip -6 route add default via fd20:2::2
on r2 ip route add 10.201.1.0/24 via 10.201.2.1
on r2 ip -6 route add fd20:1::/64 via fd20:2::1
on r2 ip route add default via 10.201.3.2
on r2 ip -6 route add default via fd20:3::2
on r3 ip route add default via 10.201.3.1
on r3 ip -6 route add default via fd20:3::1
on t ip route add default via 10.201.4.1
on t ip -6 route add default via fd20:4::1

if [ "$silent" -gt 0 ]; then
    on r$silent nft -f - <<NFT
table inet orvex_silent {
    chain out {
        type filter hook output priority 0;
        icmp type time-exceeded drop
        icmpv6 type time-exceeded drop
    }
}
NFT
fi
if [ "$loss" -gt 0 ]; then
    on r2 nft -f - <<NFT
table inet orvex_loss {
    chain forward {
        type filter hook forward priority 0;
        oifname "e3" numgen random mod 100 < $loss drop
    }
}
NFT
fi

etc=/etc/netns/$name-c
mkdir -p "$etc"
{
    echo "127.0.0.1 localhost"
    echo "::1 localhost"
    for i in 1 2 3; do echo "10.201.$i.1 r$i.orvex.test"; echo "fd20:$i::1 r$i.orvex.test"; done
    echo "10.201.3.2 r3.orvex.test"
    echo "fd20:3::2 r3.orvex.test"
    echo "10.201.2.2 r2.orvex.test"
    echo "fd20:2::2 r2.orvex.test"
    echo "10.201.4.2 t.orvex.test"
    echo "fd20:4::2 t.orvex.test"
    echo "fd20:4::2 v6.orvex.test"
} >"$etc/hosts"
printf 'hosts: files\n' >"$etc/nsswitch.conf"
: >"$etc/resolv.conf"
# The first packets of a fresh path wait for neighbour discovery; settle it before the tests.
on c ping -q -c1 -W2 10.201.4.2 >/dev/null || true
on c ping -q -c1 -W2 fd20:4::2 >/dev/null || true
exit 0
