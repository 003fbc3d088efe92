#!/usr/bin/env bash
# Sets everything up, builds Orvex and starts it. Without a display it runs Orvex on a virtual X
# display, saves a screenshot of the main window, says where, and ends.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
# Only the program and what the package installs: no tests, no benchmarks.
env -u BUILD_TARGETS "$here/scripts/build.sh" "$here/build/release" -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF \
    -DORVEX_BUILD_BENCH=OFF -DORVEX_FUZZ=OFF
program="$here/build/release/app/orvex"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program"
fi

shot="$here/build/orvex-main-window.png"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
displayfile=$(mktemp)
orvex=
# Xvfb picks a free display number and writes it down once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $orvex "$xvfb" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 300); do [ -s "$displayfile" ] && break; sleep 0.1; done
display=:$(head -n 1 "$displayfile")
if [ "$display" = : ]; then
    echo "The virtual X display did not start." >&2
    exit 1
fi
DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" &
orvex=$!
window=
for _ in $(seq 300); do
    window=$(DISPLAY=$display xdotool search --name '^Orvex 1\.7$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "Orvex did not show its main window." >&2
    exit 1
fi
sleep 1.5 # let the clock and the connection state tick once
DISPLAY=$display import -window "$window" "$shot"
echo "No display here: Orvex ran on a virtual X display ($display)."
echo "Screenshot of the main window: $shot"
