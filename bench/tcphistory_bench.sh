#!/usr/bin/env bash
# tcphistory_bench.sh [CONNECTIONS]: builds the connection-history benchmark optimised
# (build/bench) and runs it: one history tick with CONNECTIONS (default 10000) established
# loopback connections open, beside `ss -tn` reading the same table. Needs ss (iproute2).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir="$here/build/bench"
BUILD_TARGETS=bench_tcphistory_tick "$here/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=ON
"$dir/bench/bench_tcphistory_tick" "${1:-10000}"
