#!/usr/bin/env bash
# Every thread the program starts goes through platform/Threads (counted, one hand-off to the UI
# thread). Lists the places in the program's sources that start one another way; fails if any.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
pattern='std::(j?thread|async)[[:space:]]*[({]|std::j?thread[[:space:]]+[A-Za-z_]+[[:space:]]*[({;]|\bQThread(Pool)?::(create|globalInstance)|new[[:space:]]+QThread\b|QtConcurrent::|\bpthread_create\b'
found=$(git ls-files '*.cpp' '*.h' | grep -Ev '^(tests|bench|fuzz)/' | grep -Ev "^platform/Threads\.(cpp|h)$" |
    xargs grep -nE "$pattern" || true)
if [ -n "$found" ]; then
    echo "Threads started outside platform/Threads (use startCountedThread, JoinableThread or SerialWorker):"
    echo "$found"
    exit 1
fi
echo "thread_check: every thread of the program starts in platform/Threads"
