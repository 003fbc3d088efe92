#!/usr/bin/env bash
# netns-run.sh COMMAND [ARG...]
# Runs COMMAND in a network namespace of its own whose only network is loopback, with its own
# hosts file and a DNS server (dnsmasq on 127.0.0.53), so real resolver answers never leave the
# machine. Names the server knows:
#   a.orvex.test  -> 10.77.0.7, and the PTR record 10.77.0.7 -> a.orvex.test
#   10.77.0.8 has a reverse name without PTR record (no data); other 10.77.x.x do not exist
#   txt.orvex.test -> exists, but has no address (no data)
#   any other name under orvex.test -> does not exist
#   names outside orvex.test -> refused (a temporary failure)
#   v6.orvex.test -> 2001:db8:77::7 only (no IPv4 address), with its PTR record
#   dual.orvex.test -> 10.77.0.9 and 2001:db8:77::9, with PTR records
#   peer.orvex.test -> 2001:db8::2, the veth peer below, with its PTR record
#   2001:db8:77::8 has a reverse name without PTR record; other 2001:db8::/32 reverse names do not exist
# The hosts file maps hosts.orvex.test to 10.77.0.5, and ::1 to localhost. Addresses in 10.77.0.0/24
# and 2001:db8:77::/64 have no host behind them; they are lookup answers only.
# An IPv6 neighbour: the veth orvex0 (2001:db8::1/64, the IPv6 default route goes via the peer)
# leads to a second namespace holding 2001:db8::2 (orvex1), which answers echo requests, answers
# 2001:db8:99::/64 with "destination unreachable" and routes 2001:db8:98::/64 back (so a hop limit
# of 1 runs out there). Nothing answers 2001:db8::3. Ping sockets are open to every group.
# Exits 77 (skipped) when it cannot make the namespace.
set -eu
command -v ip >/dev/null && command -v dnsmasq >/dev/null && [ "$(id -u)" -eq 0 ] || {
    echo "skipped: needs root, iproute2 and dnsmasq"
    exit 77
}
ns=orvex-test-$$
peer=orvex-peer-$$
etc=/etc/netns/$ns
dns=
cleanup() {
    [ -n "$dns" ] && kill "$dns" 2>/dev/null
    ip netns del "$ns" 2>/dev/null
    ip netns del "$peer" 2>/dev/null
    rm -rf "$etc"
}
trap cleanup EXIT
mkdir -p "$etc"
printf '127.0.0.1 localhost\n10.77.0.5 hosts.orvex.test\n::1 localhost\n' >"$etc/hosts"
printf 'nameserver 127.0.0.53\noptions attempts:1 timeout:1\n' >"$etc/resolv.conf"
printf 'hosts: files dns\n' >"$etc/nsswitch.conf"
ip netns add "$ns" || { echo "skipped: cannot create a network namespace"; exit 77; }
ip netns exec "$ns" ip link set lo up
ip netns exec "$ns" ip addr add 127.0.0.53/8 dev lo 2>/dev/null || true
ip netns exec "$ns" dnsmasq --keep-in-foreground --no-resolv --no-hosts --listen-address=127.0.0.53 \
    --bind-interfaces --address=/a.orvex.test/10.77.0.7 --ptr-record=7.0.77.10.in-addr.arpa,a.orvex.test \
    --txt-record=txt.orvex.test,"no address here" --txt-record=8.0.77.10.in-addr.arpa,"no name here" --local=/orvex.test/ --local=/77.10.in-addr.arpa/ --log-facility=/dev/null \
    --host-record=v6.orvex.test,2001:db8:77::7 --host-record=dual.orvex.test,10.77.0.9,2001:db8:77::9 \
    --host-record=peer.orvex.test,2001:db8::2 --local=/8.b.d.0.1.0.0.2.ip6.arpa/ \
    --txt-record=8.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.7.7.0.0.8.b.d.0.1.0.0.2.ip6.arpa,"no name here" \
    --pid-file= --user=root >/dev/null 2>&1 &
dns=$!
if ip netns add "$peer" 2>/dev/null &&
    ip netns exec "$ns" ip link add orvex0 type veth peer name orvex1 netns "$peer" 2>/dev/null; then
    ip netns exec "$peer" ip link set lo up
    ip netns exec "$peer" sysctl -qw net.ipv6.conf.all.forwarding=1 net.ipv6.icmp.ratelimit=0
    ip netns exec "$peer" ip addr add 2001:db8::2/64 dev orvex1 nodad
    ip netns exec "$peer" ip link set orvex1 up
    ip netns exec "$ns" ip addr add 2001:db8::1/64 dev orvex0 nodad
    ip netns exec "$ns" ip link set orvex0 up
    ip netns exec "$ns" ip -6 route add default via 2001:db8::2 dev orvex0
    ip netns exec "$peer" ip -6 route add unreachable 2001:db8:99::/64
    ip netns exec "$peer" ip -6 route add 2001:db8:98::/64 via 2001:db8::1 dev orvex1
    for _ in $(seq 30); do
        ip netns exec "$ns" ip -o link show orvex0 | grep -q LOWER_UP && break
        sleep 0.1
    done
fi
ip netns exec "$ns" sysctl -qw net.ipv4.ping_group_range="0 2147483647" 2>/dev/null || true
for _ in $(seq 50); do
    ip netns exec "$ns" getent hosts a.orvex.test >/dev/null 2>&1 && break
    sleep 0.1
done
ip netns exec "$ns" "$@"
