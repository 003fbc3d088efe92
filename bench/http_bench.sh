#!/usr/bin/env bash
# http_bench.sh [RUNS]: builds the HTTP benchmark optimised (build/bench) and runs it: GETs of a
# 64 MiB body (Content-Length, chunked, until close) and 1000 keep-alive GETs, each beside curl.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir="$here/build/bench"
BUILD_TARGETS=bench_http "$here/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=ON
"$dir/bench/bench_http" "${1:-5}"
