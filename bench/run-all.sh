#!/usr/bin/env bash
# Builds the release tree and runs every benchmark, each beside its peer tool where there is one.
# Prints figures only; nothing here fails on timing. Some need root (raw ICMP, 10,000 sockets).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$here/build/bench" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=ON
bin="$here/build/bench/bench"

echo "== main window: timer ticks and start-up"
QT_QPA_PLATFORM=offscreen "$bin/bench_main_window"
echo "== main window: idle CPU"
"$here/bench/idle_cpu.sh" "$here/build/bench/app/orvex"
echo "== ICMP echo exchange beside ping"
"$bin/bench_icmp_echo"
echo "== HTTP client beside curl"
"$here/bench/http_bench.sh"
echo "== connection-history tick beside ss"
"$here/bench/tcphistory_bench.sh"
