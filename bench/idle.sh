#!/usr/bin/env bash
# idle.sh [ORVEX [BARE_WINDOW]]: what an idle window costs, measured for five programs running at
# once on the same display: Orvex's main window, an empty Qt window (bench_bare_window), the same
# window woken at each whole second by a timer that does nothing (the least anything that changes
# once a second costs), the same window with one label showing the time, set anew at each whole
# second (a plain Qt clock), and the same window with two 16 ms timers (the way Orvex's status bar
# used to poll); on X11 with xdotool, also a second Orvex whose window is taken off the screen
# (unmapped, as a window manager does with a minimised window or one on another desktop). After a
# settling time, over SECONDS_TO_MEASURE seconds (default 30), for each program summed over its threads:
#   wakeups per second  voluntary context switches (a thread going to sleep, to be woken again),
#                       from /proc/PID/task/*/status; a thread that another one pushes off its
#                       processor (an involuntary switch) was not asleep, and does not count;
#   CPU                 time on a processor from /proc/PID/task/*/schedstat (nanoseconds), as a
#                       share of one core.
# On a virtual X display (Xvfb) of its own unless DISPLAY is set; ORVEX_QPA=offscreen runs them
# without a display. Prints one line per program: NAME wakeups/s W cpu% C.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
orvex=${1:-$here/build/bench/app/orvex}
bare=${2:-$here/build/bench/bench/bench_bare_window}
seconds=${SECONDS_TO_MEASURE:-30}
settle=${SETTLE_SECONDS:-3}

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] && [ -z "${ORVEX_QPA:-}" ]; then
    export DISPLAY=:$((150 + RANDOM % 50))
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.05; done
fi
export QT_QPA_PLATFORM=${ORVEX_QPA:-xcb}
config=$(mktemp -d /tmp/orvex-idle-XXXXXX) # Orvex stores its window position here, not in the user's
names=(orvex empty-window tick-window clock-window two-timer-window)
XDG_CONFIG_HOME=$config "$orvex" >/dev/null 2>&1 &
pids+=($!)
"$bare" >/dev/null 2>&1 &
pids+=($!)
"$bare" --tick >/dev/null 2>&1 &
pids+=($!)
"$bare" --clock >/dev/null 2>&1 &
pids+=($!)
"$bare" --timers 16 >/dev/null 2>&1 &
pids+=($!)
programs=("${pids[@]: -5}")
off_screen=
if [ "$QT_QPA_PLATFORM" = xcb ] && command -v xdotool >/dev/null; then
    XDG_CONFIG_HOME=$config/off "$orvex" >/dev/null 2>&1 &
    off_screen=$!
    pids+=($!)
    programs+=($!)
    names+=(orvex-off-screen)
fi
sleep "$settle" # start-up is not idle time
if [ -n "$off_screen" ]; then
    for window in $(xdotool search --pid "$off_screen"); do xdotool windowunmap "$window"; done
    sleep 1.1 # its clock's last tick finds it gone
fi

# switches PID / cpu_ns PID: summed over the process's threads now.
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n + 0 }'; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%.0f\n", n }'; }
declare -A s0 c0
for p in "${programs[@]}"; do s0[$p]=$(switches "$p"); c0[$p]=$(cpu_ns "$p"); done
sleep "$seconds"
for i in "${!programs[@]}"; do
    p=${programs[$i]}
    [ -d "/proc/$p" ] || { echo "${names[$i]} ended early"; continue; }
    s1=$(switches "$p")
    c1=$(cpu_ns "$p")
    awk -v n="${names[$i]}" -v s=$((s1 - s0[$p])) -v c=$((c1 - c0[$p])) -v t="$seconds" \
        'BEGIN { printf "%s wakeups/s %.2f cpu%% %.3f\n", n, s / t, 100 * c / 1e9 / t }'
done
rm -rf "$config"
