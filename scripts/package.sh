#!/usr/bin/env bash
# Sets everything up, builds a release of Orvex and makes the Debian package in build/package/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
# Only the program and what the package installs: no tests, no benchmarks.
env -u BUILD_TARGETS "$here/scripts/build.sh" "$here/build/release" -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_TESTS=OFF \
    -DORVEX_BUILD_BENCH=OFF -DORVEX_FUZZ=OFF
rm -f "$here"/build/package/orvex_*.deb # one package to install, the one just made
cpack --config "$here/build/release/CPackConfig.cmake" -G DEB -B "$here/build/package"
ls "$here"/build/package/orvex_*.deb
