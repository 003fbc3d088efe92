#!/usr/bin/env bash
# http_bench.sh [RUNS]: builds the HTTP benchmark optimised (build/release) and runs it: GETs of a
# 64 MiB body (Content-Length, chunked, until close) and 1000 keep-alive GETs, each beside curl.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir="$here/build/release"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
[ -f "$dir/build.ninja" ] || cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF
cmake --build "$dir" --target bench_http
"$dir/bench/bench_http" "${1:-5}"
