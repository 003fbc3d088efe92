#!/usr/bin/env bash
# Sets everything up, builds a release of Orvex and makes the Debian package in build/package/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$here/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_BUILD_TESTS=OFF
cpack --config "$here/build/release/CPackConfig.cmake" -G DEB -B "$here/build/package"
ls "$here"/build/package/orvex_*.deb
