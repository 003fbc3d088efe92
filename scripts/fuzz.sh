#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer harnesses with clang (build/fuzz) and runs them for
# SECONDS in all (default 80), shared out evenly (at least 5 s each), starting from the seeds in
# fuzz/seeds. Exits non-zero when one finds a crash; the input that did it is left in
# build/fuzz/findings.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
total=${1:-80}
dir="$here/build/fuzz"
harnesses=(FuzzHttpReply FuzzUri FuzzSetCookie FuzzIcmpDatagram FuzzIcmp6Reply FuzzSettings FuzzRankReply
    FuzzSockDiag)
seconds=$((total / ${#harnesses[@]}))
[ "$seconds" -ge 5 ] || seconds=5

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ ! -f "$dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORVEX_FUZZ=ON -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=OFF
fi
cmake --build "$dir" --target "${harnesses[@]}"

mkdir -p "$dir/findings"
status=0
for h in "${harnesses[@]}"; do
    corpus="$dir/corpus/$h"
    mkdir -p "$corpus"
    echo "== fuzzing $h for ${seconds}s"
    if ! "$dir/fuzz/$h" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
        -artifact_prefix="$dir/findings/$h-" "$corpus" "$here/fuzz/seeds/$h" 2>"$dir/findings/$h.log"; then
        tail -40 "$dir/findings/$h.log"
        status=1
    else
        grep -E "^#[0-9]+.*DONE" "$dir/findings/$h.log" | tail -1 || true
    fi
done
exit $status
