#!/usr/bin/env bash
# wayland-run.sh PROGRAM [ARGS...]: runs PROGRAM as a client of a weston compositor of its own
# (headless, no input devices, in a runtime folder of its own) on Qt's wayland platform. Exits 77
# (skipped) where weston or Qt's wayland platform plugin is missing.
set -u
command -v weston >/dev/null || { echo "SKIP: no weston here (Debian: weston)"; exit 77; }
plugin=$(find /usr/lib /usr/local/lib -path '*qt6/plugins/platforms/libqwayland-generic.so' 2>/dev/null | head -n1)
[ -n "$plugin" ] || { echo "SKIP: no Qt wayland platform plugin here (Debian: qt6-wayland)"; exit 77; }

runtime=$(mktemp -d /tmp/orvex-wayland.XXXXXX)
chmod 700 "$runtime"
socket=orvex-test
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=$socket --idle-time=0 \
    --width=1200 --height=800 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
cleanup() {
    kill "$weston_pid" 2>/dev/null
    wait "$weston_pid" 2>/dev/null
    rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -S "$runtime/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
    echo "SKIP: weston did not start here:"
    cat "$runtime/weston.log"
    exit 77
fi
XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@"
status=$?
# A protocol error is fatal to the client: say what the compositor saw.
[ $status -eq 0 ] || grep -i -E "error|does not match" "$runtime/weston.log" | tail -n 5
exit $status
