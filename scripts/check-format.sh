#!/usr/bin/env bash
# check-format.sh [--fix]: lists the C++ files that differ from .clang-format and exits 1 when there
# are any; with --fix, formats them in place instead.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
command -v clang-format >/dev/null || { echo "clang-format is missing: bash scripts/setup.sh"; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t listed < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp')
else
    mapfile -t listed < <(find . -path ./build -prune -o \( -name '*.h' -o -name '*.cpp' \) -print)
fi
files=()
for f in "${listed[@]}"; do [ -e "$f" ] && files+=("$f"); done
if [ "${1:-}" = --fix ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
report=$(clang-format --dry-run "${files[@]}" 2>&1) || { echo "$report"; exit 1; }
mapfile -t differing < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' \
    <<<"$report" | sort -u)
if [ ${#differing[@]} -gt 0 ]; then
    printf '%s differs from .clang-format\n' "${differing[@]}"
    echo "Run: bash scripts/check-format.sh --fix   (or clang-format -i FILE)"
    exit 1
fi
echo "${#files[@]} files formatted"
