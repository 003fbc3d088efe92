#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures Orvex in DIR with the options given and builds it;
# BUILD_TARGETS, when set, names the targets to build instead of all. The configure step runs every
# time: on an existing folder it is quick and only changes what the options change, so an option
# given later takes effect (options given before stay in DIR's cache until changed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" "$@"
cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
