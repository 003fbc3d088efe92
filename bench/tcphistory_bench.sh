#!/usr/bin/env bash
# tcphistory_bench.sh [CONNECTIONS]: builds the connection-history benchmark optimised
# (build/release) and runs it: one history tick with CONNECTIONS (default 10000) established
# loopback connections open, beside `ss -tn` reading the same table. Needs ss (iproute2).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir="$here/build/release"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
[ -f "$dir/build.ninja" ] || cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF
cmake --build "$dir" --target bench_tcphistory_tick
"$dir/bench/bench_tcphistory_tick" "${1:-10000}"
