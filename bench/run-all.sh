#!/usr/bin/env bash
# run-all.sh: builds the release tree and runs every benchmark, each Orvex figure beside its peer
# tool, both started as processes by bench_launch; then rewrites the table in bench/README.md.
# Prints figures only; nothing here fails on timing. Run as root on an otherwise quiet machine
# (raw ICMP for `ping -i 0` and `ping -f`, 20,000 descriptors for the connection table).
#
#   bench/run-all.sh                     all figures, 11 rounds each
#   ROUNDS=21 bench/run-all.sh           more rounds
#   README=/tmp/x.md bench/run-all.sh    write the table elsewhere instead of bench/README.md
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
rounds=${ROUNDS:-11}
[ "$rounds" -ge 11 ] || echo "note: $rounds rounds; the figures in bench/README.md want at least 11"
readme=${README:-bench/README.md}
started=$(date +%s)

"$here/scripts/setup.sh"
BUILD_TARGETS="orvex bench_launch bench_http_get bench_ping_loop bench_history_tick bench_hold_connections bench_close_watch \
bench_bare_window bench_replica_window bench_main_window bench_route_gap" \
    "$here/scripts/build.sh" build/bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=ON
bin=build/bench/bench
[ -x "$bin/bench_main_window" ] || echo "(Google Benchmark missing: no in-process figures)"

work=$(mktemp -d /tmp/orvex-bench-XXXXXX)
rows="$work/rows.md"
: >"$rows"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

launch() { "$bin/bench_launch" --rounds "$rounds" --markdown "$rows" "$@" || echo "(every run failed)"; }
# A figure without a peer: name, value, target, command.
single() { printf '| %s | %s | | | — | | | | | %s | | %s | `%s` |\n' "$1" "$2" "$3" "$(cut -d' ' -f1-3 /proc/loadavg)" "$4" >>"$rows"; }
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# --- HTTP: nginx on loopback, 64 MiB with a length, chunked (HTTP/1.1 through SSI) and until the
# close (HTTP/1.0 through SSI); 1000 keep-alive GETs of a small page.
port=$(free_port)
mkdir -p "$work/html" "$work/tmp"
yes 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' | head -c 67108864 >"$work/html/big.bin" || true
echo '<html><body>small page</body></html>' >"$work/html/small.html"
cat >"$work/nginx.conf" <<EOF
daemon off; master_process off; worker_processes 1;
pid $work/nginx.pid; error_log $work/error.log warn;
events { worker_connections 256; }
http {
  access_log off; default_type application/octet-stream; sendfile on; keepalive_requests 100000;
  client_body_temp_path $work/tmp/body; proxy_temp_path $work/tmp/proxy; fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi; scgi_temp_path $work/tmp/scgi;
  server {
    listen 127.0.0.1:$port; root $work/html;
    location /ssi/ { alias $work/html/; ssi on; ssi_types *; }
  }
}
EOF
/usr/sbin/nginx -p "$work" -e "$work/error.log" -c "$work/nginx.conf" &
pids+=($!)
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/small.html" && break; sleep 0.05; done
url="http://127.0.0.1:$port"
for i in $(seq 1000); do printf 'url = "%s/small.html"\noutput = "/dev/null"\n' "$url"; done >"$work/keepalive.curl"

launch --title "GET 64 MiB, Content-Length, body dropped" --target "≤ 0.9" \
    --side orvex 1 -- "$bin/bench_http_get" "$url/big.bin" discard \
    --side curl 1 -- curl -s -o /dev/null "$url/big.bin"
launch --title "GET 64 MiB, Content-Length, body kept in memory (curl: /dev/null)" --target "— (memory bounded by the body)" \
    --side orvex 1 -- "$bin/bench_http_get" "$url/big.bin" memory \
    --side curl 1 -- curl -s -o /dev/null "$url/big.bin"
launch --title "GET 64 MiB, chunked, body dropped" --target "≤ 0.9" \
    --side orvex 1 -- "$bin/bench_http_get" "$url/ssi/big.bin" discard \
    --side curl 1 -- curl -s -o /dev/null "$url/ssi/big.bin"
launch --title "GET 64 MiB, until close (HTTP/1.0), body dropped" --target "≤ 0.9" \
    --side orvex 1 -- "$bin/bench_http_get" "$url/ssi/big.bin" discard 1 1.0 \
    --side curl 1 -- curl -s --http1.0 -o /dev/null "$url/ssi/big.bin"
launch --title "1000 keep-alive GETs, per request" --target "≤ 1 (rate ≥ curl's)" --unit us \
    --side orvex 1000 -- "$bin/bench_http_get" "$url/small.html" memory 1000 \
    --side curl 1000 -- curl -s -K "$work/keepalive.curl"

# --- Ping: 1000 exchanges with 127.0.0.1 back to back, per exchange.
launch --title "ping 127.0.0.1, per exchange (1000 back to back)" --target "≤ 1.5" --unit us \
    --side orvex 1000 -- "$bin/bench_ping_loop" 127.0.0.1 1000 \
    --side ping 1000 -- ping -c 1000 -i 0 127.0.0.1 \
    --side ping-f 1000 -- ping -f -c 1000 127.0.0.1

# --- Route: per probe beside mtr on a namespace path; the route window's event-loop gap.
BIN="$bin" ROWS="$rows" ROUNDS="$rounds" bench/route.sh

# --- Connection history: 10,000 established loopback connections held by a helper process (both
# ends: 20,000 rows); the window's tick (read with owners and counters, format, test, append,
# automatic clear) per tick, 20 ticks per process, beside one `ss -tnpi` (which also resolves the
# processes and reads tcp_info) and one plain `ss -tn` reading the same table per process; then the
# history's tick with the facts beside the same tick without them (what it cost before), when
# nothing changes between ticks.
history_rows() { # FAMILY (4 or 6)
    local family=$1
    coproc HOLD { "$bin/bench_hold_connections" 10000 "$family"; }
    local hold_pid=$HOLD_PID
    local ready
    if ! read -r ready <&"${HOLD[0]}"; then
        echo "could not hold the connections; no history figures"
        return 0
    fi
    echo "connections held: $ready (IPv$family)"
    launch --title "history tick with owners and counters, 10,000 IPv$family connections, per tick" \
        --target "≤ 0.7 of ss -tnpi" \
        --side orvex 20 -- "$bin/bench_history_tick" 20 window \
        --side ss-tnpi 1 -- ss -tnpi \
        --side ss 1 -- ss -tn \
        --side "ss-$family" 1 -- ss -tn"$family"
    launch --title "history tick with the facts beside without them, nothing changed, IPv$family, per tick" \
        --target "≤ 1.1" \
        --side facts 20 -- "$bin/bench_history_tick" 20 model \
        --side plain 20 -- "$bin/bench_history_tick" 20 model-plain
    local inproc
    inproc=$("$bin/bench_history_tick" 20 window)
    echo "$inproc"
    single "history tick, UI thread's processor time per tick, 10,000 IPv$family connections (median inside the process)" \
        "$(sed -n 's/^ui thread cpu median \([0-9.]*\) ms.*/\1 ms/p' <<<"$inproc")" "< 5 ms on the UI thread" \
        "$bin/bench_history_tick 20 window"
    eval "exec ${HOLD[1]}>&-"
    wait "$hold_pid" 2>/dev/null || true
}
history_rows 4

# --- Start-up: program start (before exec) to the first painted main window, beside a bare Qt
# Widgets window built by the same CMake, and beside the main window's controls built from Qt's own
# widgets (what Qt itself costs for them: no target, it explains the first figure); all leave after
# that paint.
display=:$((150 + RANDOM % 50))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.05; done
for platform in xcb offscreen; do
    launch --title "start-up to first paint ($platform)" --target "≤ 1.25" --mark \
        --side orvex 1 --env QT_QPA_PLATFORM=$platform --env DISPLAY=$display --env ORVEX_EXIT_AFTER_FIRST_PAINT=1 \
        -- build/bench/app/orvex \
        --side bare-qt 1 --env QT_QPA_PLATFORM=$platform --env DISPLAY=$display --env ORVEX_EXIT_AFTER_FIRST_PAINT=1 \
        -- "$bin/bench_bare_window" \
        --side qt-replica 1 --target "—" --env QT_QPA_PLATFORM=$platform --env DISPLAY=$display \
        --env ORVEX_EXIT_AFTER_FIRST_PAINT=1 -- "$bin/bench_replica_window"
done

# --- The IPv6 connection history beside `ss -tn6`.
history_rows 6

# --- Closing broadcasts under 2,000 short loopback connections a second for 5 s: the closings the
# history's watch saw against the number made, and the watch's processor time.
for family in 4 6; do
    watched=$("$bin/bench_close_watch" 2000 5 "$family" || true)
    echo "$watched"
    single "closings seen of 2 × 10,000 short IPv$family connections at 2,000/s (missed; watch CPU)" \
        "$(sed -n 's/.*missed \([0-9-]*\);.*/\1 missed/p' <<<"$watched"); $(sed -n 's/.*watch \([0-9]*\) ms (\(.*\) of one core)/\1 ms, \2/p' <<<"$watched")" \
        "0 missed" "$bin/bench_close_watch 2000 5 $family"
done

# --- The longest event-loop gap while each operation runs (its own network namespace).
if [ -z "${SKIP_GAPS:-}" ]; then
    gaps=$(bash bench/event_loop_gap.sh 2>&1 | tee /dev/stderr || true)
    # Rows of its table: what ran, the longest gap, how long it took, the UI thread's processor time.
    while IFS='|' read -r what gap took cpu; do
        single "longest event-loop gap: $what (took $took, UI thread $cpu)" "$gap" "< 50 ms" "bench/event_loop_gap.sh"
    done < <(sed -nE 's/^(.*[^ ]) +([0-9.]+ ms) +([0-9]+ ms) +([0-9.]+ ms)  .*$/\1|\2|\3|\4/p' <<<"$gaps")
fi

# --- Figures inside one process, no peer.
if [ -x "$bin/bench_main_window" ]; then
    csv=$(QT_QPA_PLATFORM=offscreen "$bin/bench_main_window" --benchmark_repetitions="$rounds" \
        --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null)
    for bm in BM_ClockTick BM_ClockTickFormatting BM_ConnectionTick; do
        single "main window: one ${bm#BM_} (median inside the process)" \
            "$(awk -F, -v n="\"${bm}_median\"" '$1 == n { printf "%.3f us", $3 / 1000 }' <<<"$csv")" \
            "a few µs, no I/O" "QT_QPA_PLATFORM=offscreen $bin/bench_main_window --benchmark_repetitions=$rounds"
    done
fi
# --- Idle: Orvex, an empty window, a window woken each second, a window with a clock label, a
# window with two 16 ms timers and a second Orvex off the screen, all at once, 30 s.
idle_load=$(cut -d' ' -f1-3 /proc/loadavg)
idle=$(DISPLAY=$display bench/idle.sh build/bench/app/orvex "$bin/bench_bare_window")
echo "$idle"
idle_of() { awk -v n="$1" -v f="$2" '$1 == n { print $f }' <<<"$idle"; }
for peer in empty-window tick-window clock-window two-timer-window; do
    printf '| idle over 30 s, all at once: wakeups per second, CPU | %s/s | %s %% | | %s | %s/s | %s %% | | | ≤ 3/s, < 0.1 %% | | %s | `bench/idle.sh` |\n' \
        "$(idle_of orvex 3)" "$(idle_of orvex 5)" "$peer" "$(idle_of "$peer" 3)" "$(idle_of "$peer" 5)" "$idle_load" >>"$rows"
done
if [ -n "$(idle_of orvex-off-screen 3)" ]; then
    printf '| idle over 30 s, all at once, Orvex off the screen (unmapped) | %s/s | %s %% | | empty-window | %s/s | %s %% | | | as the empty window | | %s | `bench/idle.sh` |\n' \
        "$(idle_of orvex-off-screen 3)" "$(idle_of orvex-off-screen 5)" "$(idle_of empty-window 3)" "$(idle_of empty-window 5)" "$idle_load" >>"$rows"
fi

# --- The table.
{
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)), commit $(git rev-parse --short HEAD), $rounds rounds; \`bench/run-all.sh\` took $(($(date +%s) - started)) s."
    echo
    echo "| figure | Orvex wall | Orvex CPU | Orvex peak RSS MiB | peer | peer wall | peer CPU | peer peak RSS MiB | ratio | target | rounds | load before | commands |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
    cat "$rows"
} >"$work/table.md"
awk -v table="$work/table.md" '
    /<!-- figures begin -->/ { print; while ((getline line < table) > 0) print line; skip = 1; next }
    /<!-- figures end -->/ { skip = 0 }
    !skip { print }' "$readme" >"$work/readme.md"
cp "$work/readme.md" "$readme"
cat "$work/table.md"
echo "table written to $readme"
