#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds Orvex into DIR; BUILD_TARGETS, when
# set, names the targets to build instead of all.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" "$@"
fi
cmake --build "$dir" -j "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
