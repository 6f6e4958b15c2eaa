#!/usr/bin/env bash
# Non-blank lines of the tracked files in tests/ against those in src/: the
# project keeps tests at a quarter to a third of the code (at most 0.36).
#   scripts/test_ratio.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -- "$1" | xargs grep -Ihcv '^[[:space:]]*$' | awk '{s += $1} END {print s + 0}'; }
src=$(count src)
tests=$(count tests)
ratio=$(awk -v t="$tests" -v s="$src" 'BEGIN {printf "%.3f", t / s}')
echo "tests $tests / src $src non-blank lines = $ratio"
# Compared in whole lines, not the rounded ratio: 0.3604 is over the limit.
if [ "${1:-}" = "--check" ] && [ $((tests * 100)) -gt $((src * 36)) ]; then
    echo "test_ratio: tests exceed 0.36 of src" >&2
    exit 1
fi
