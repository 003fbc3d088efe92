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
# The hosts file maps hosts.orvex.test to 10.77.0.5. Addresses in 10.77.0.0/24 have no host behind
# them; they are lookup answers only. Exits 77 (skipped) when it cannot make the namespace.
set -eu
command -v ip >/dev/null && command -v dnsmasq >/dev/null && [ "$(id -u)" -eq 0 ] || {
    echo "skipped: needs root, iproute2 and dnsmasq"
    exit 77
}
ns=orvex-test-$$
etc=/etc/netns/$ns
dns=
cleanup() {
    [ -n "$dns" ] && kill "$dns" 2>/dev/null
    ip netns del "$ns" 2>/dev/null
    rm -rf "$etc"
}
trap cleanup EXIT
mkdir -p "$etc"
printf '127.0.0.1 localhost\n10.77.0.5 hosts.orvex.test\n' >"$etc/hosts"
printf 'nameserver 127.0.0.53\noptions attempts:1 timeout:1\n' >"$etc/resolv.conf"
printf 'hosts: files dns\n' >"$etc/nsswitch.conf"
ip netns add "$ns" || { echo "skipped: cannot create a network namespace"; exit 77; }
ip netns exec "$ns" ip link set lo up
ip netns exec "$ns" ip addr add 127.0.0.53/8 dev lo 2>/dev/null || true
ip netns exec "$ns" dnsmasq --keep-in-foreground --no-resolv --no-hosts --listen-address=127.0.0.53 \
    --bind-interfaces --address=/a.orvex.test/10.77.0.7 --ptr-record=7.0.77.10.in-addr.arpa,a.orvex.test \
    --txt-record=txt.orvex.test,"no address here" --txt-record=8.0.77.10.in-addr.arpa,"no name here" --local=/orvex.test/ --local=/77.10.in-addr.arpa/ --log-facility=/dev/null \
    --pid-file= --user=root >/dev/null 2>&1 &
dns=$!
for _ in $(seq 50); do
    ip netns exec "$ns" getent hosts a.orvex.test >/dev/null 2>&1 && break
    sleep 0.1
done
ip netns exec "$ns" "$@"
