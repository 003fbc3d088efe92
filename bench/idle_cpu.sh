#!/usr/bin/env bash
# Idle CPU of the running main window with both timers, measured over SECONDS (default 12) from
# /proc/PID/stat, on a virtual X display when there is no display (or offscreen with ORVEX_QPA).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/bench/app/orvex}
seconds=${SECONDS_TO_MEASURE:-12}
hz=$(getconf CLK_TCK)

xvfb=
if [ -z "${DISPLAY:-}" ] && [ -z "${ORVEX_QPA:-}" ]; then
    export DISPLAY=:$((150 + RANDOM % 50))
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
fi
QT_QPA_PLATFORM=${ORVEX_QPA:-xcb} "$program" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid ${xvfb} 2>/dev/null || true' EXIT
sleep 2 # start-up is not idle time
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
start=$(ticks)
sleep "$seconds"
end=$(ticks)
awk -v t=$((end - start)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "orvex idle CPU over %d s: %.2f %% of one core (%d ticks of 1/%d s)\n", s, 100 * t / hz / s, t, hz }'
