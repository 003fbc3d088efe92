#!/usr/bin/env bash
# event_loop_gap.sh [--only NAME]: builds the event-loop gap benchmark optimised (build/bench)
# and runs it offscreen in a network namespace of its own: loopback, an interface 10.77.0.1/24
# whose other addresses never answer, a hosts file naming 10.77.0.5, and a resolver
# pointed at 127.0.0.53, where the benchmark holds a UDP port that never answers. Prints the
# longest gap between two firings of a 10 ms timer while each operation runs (target: under 50 ms).
# Needs root (network namespaces) and iproute2. Takes about a minute: the silent DNS server and the
# silent web server are waited out with the program's own limits.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir="$here/build/bench"
BUILD_TARGETS=bench_event_loop_gap "$here/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=ON
command -v ip >/dev/null && [ "$(id -u)" -eq 0 ] || { echo "skipped: needs root and iproute2"; exit 0; }

ns=orvex-gap-$$
etc=/etc/netns/$ns
config=$(mktemp -d)
cleanup() {
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$etc" "$config"
}
trap cleanup EXIT
mkdir -p "$etc"
printf '127.0.0.1 localhost\n10.77.0.5 hosts.orvex.test\n' >"$etc/hosts"
printf 'nameserver 127.0.0.53\n' >"$etc/resolv.conf"
printf 'hosts: files dns\n' >"$etc/nsswitch.conf"
ip netns add "$ns"
ip netns exec "$ns" ip link set lo up
ip netns exec "$ns" ip addr add 127.0.0.53/8 dev lo 2>/dev/null || true
# 10.77.0.0/24 lies behind one end of a veth pair; the other end has no address and drops what
# arrives, and fixed neighbour entries keep address resolution from failing the sends.
ip netns exec "$ns" ip link add gap0 type veth peer name gap1
ip netns exec "$ns" ip addr add 10.77.0.1/24 dev gap0
ip netns exec "$ns" ip link set gap1 up
ip netns exec "$ns" ip link set gap0 up
for host in 9 254; do
    ip netns exec "$ns" ip neigh replace 10.77.0.$host lladdr 02:00:00:00:00:0$((host % 10)) dev gap0 nud permanent
done
# Everything else has a way out that leads nowhere, so the window sees a connected machine.
ip netns exec "$ns" ip route add default via 10.77.0.254 dev gap0
ip netns exec "$ns" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$config" \
    "$dir/bench/bench_event_loop_gap" "$@"
