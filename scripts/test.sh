#!/usr/bin/env bash
# Sets everything up, builds Orvex and runs every test: once in a normal build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero when any test fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
export CTEST_OUTPUT_ON_FAILURE=1

"$here/scripts/build.sh" "$here/build/debug" -DCMAKE_BUILD_TYPE=Debug -DORVEX_WERROR=ON
echo "== tests"
ctest --test-dir "$here/build/debug" -j 2 --timeout 900

"$here/scripts/build.sh" "$here/build/asan" -DCMAKE_BUILD_TYPE=Debug -DORVEX_SANITIZE=ON -DORVEX_BUILD_BENCH=OFF
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$here/build/asan" -j 2 --timeout 900

echo "== fuzzing the parsers of server input (bounded)"
"$here/scripts/fuzz.sh" "${ORVEX_FUZZ_SECONDS:-80}"
