#!/usr/bin/env bash
# route.sh: the route tracer beside mtr on the namespace path of tests/trace/route-chain.sh
# (client, three routers, target), both as root with raw sockets, both started by bench_launch
# through `ip netns exec` into the client namespace, interleaved: ROUTE_ROUNDS rounds of 4 probes
# every 10 ms, per probe (wall time per probe is 1 / probes per second; CPU per probe is the
# figure that counts). Then the route window's longest event-loop gap during a 1000-round trace.
# Run as root. Standalone it builds build/bench; bench/run-all.sh calls it with BIN and ROWS set.
#
#   bench/route.sh                  11 rounds, table on standard output
#   ROUNDS=21 bench/route.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
rounds=${ROUNDS:-11}
probes_rounds=${ROUTE_ROUNDS:-200}
[ "$(id -u)" -eq 0 ] && command -v mtr >/dev/null && command -v nft >/dev/null || {
    echo "skipped: needs root, mtr and nftables"
    exit 0
}
if [ -z "${BIN:-}" ]; then
    BUILD_TARGETS="orvex bench_launch bench_route_gap" scripts/build.sh build/bench \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=ON >/dev/null
    BIN=build/bench/bench
fi
orvex=$(dirname "$BIN")/app/orvex
chain=oxbench$$
trap 'bash tests/trace/route-chain.sh down $chain' EXIT
bash tests/trace/route-chain.sh up $chain >/dev/null
ops=$((probes_rounds * 4))
markdown=()
[ -n "${ROWS:-}" ] && markdown=(--markdown "$ROWS")
"$BIN/bench_launch" --rounds "$rounds" "${markdown[@]}" --unit us \
    --title "route, 4 hops, $probes_rounds rounds every 10 ms, per probe (raw sockets)" --target "CPU ≤ mtr's" \
    --side orvex "$ops" -- ip netns exec "$chain-c" "$orvex" --route 10.201.4.2 --rounds "$probes_rounds" \
    --interval 10 --numeric \
    --side mtr "$ops" -- ip netns exec "$chain-c" mtr -n --report -c "$probes_rounds" -i 0.01 -G 0.3 10.201.4.2
gap=$(ip netns exec "$chain-c" env QT_QPA_PLATFORM=offscreen "$BIN/bench_route_gap" 10.201.4.2 1000 10)
echo "route window, 1000 rounds every 10 ms: $gap"
if [ -n "${ROWS:-}" ]; then
    printf '| route window: longest event-loop gap during a 1000-round trace (UI CPU per round) | %s ms | %s µs | | — | | | | | < 50 ms | | %s | `bench/route.sh` |\n' \
        "$(awk '{print $8}' <<<"$gap")" "$(awk '{print $14}' <<<"$gap")" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$ROWS"
fi
