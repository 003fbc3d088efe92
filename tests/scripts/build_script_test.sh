#!/usr/bin/env bash
# build_script_test.sh SOURCE_DIR: scripts/build.sh on an existing build folder applies options
# given later, and keeps those given before. Builds only the small documentation target.
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
cached() { sed -n "s/^$1:[A-Z]*=//p" "$work/build/CMakeCache.txt"; }
build() { BUILD_TARGETS=orvex_package_docs bash "$src/scripts/build.sh" "$work/build" "$@" >"$work/log" 2>&1 || cat "$work/log"; }

build -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=OFF
check "first run configures the options given" test "$(cached CMAKE_BUILD_TYPE) $(cached ORVEX_BUILD_BENCH)" = "Release OFF"
check "first run builds with the default service" zgrep -qF 'http://api.ipify.org/' "$work/build/packaging/orvex.1.gz"

build -DCMAKE_BUILD_TYPE=Debug -DORVEX_PUBLIC_ADDRESS_URL=http://127.0.0.1:9/orvexip/ip.php
check "a later build type takes effect" test "$(cached CMAKE_BUILD_TYPE)" = Debug
check "a later setting takes effect" test "$(cached ORVEX_PUBLIC_ADDRESS_URL)" = http://127.0.0.1:9/orvexip/ip.php
check "and reaches what is built" zgrep -qF 'http://127.0.0.1:9/orvexip/ip.php' "$work/build/packaging/orvex.1.gz"
check "options given before stay" test "$(cached ORVEX_BUILD_TESTS) $(cached ORVEX_BUILD_BENCH)" = "OFF OFF"

echo "$failures failed"
[ "$failures" -eq 0 ]
