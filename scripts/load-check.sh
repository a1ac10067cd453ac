#!/bin/bash
# The suite with every processor busy: runs the whole CTest suite of a build
# (native and Wine) twice in a row while stress-ng keeps every processor
# loaded, and fails when either run does. Build first (scripts/test.sh, or
# cmake by hand as docs/development.md shows).
#
#   scripts/load-check.sh [BUILD-DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

if ! command -v stress-ng >/dev/null; then
    echo "stress-ng is not installed (apt-get install stress-ng)" >&2
    exit 1
fi
stress-ng --cpu "$(nproc)" --timeout 2h >/dev/null 2>&1 &
load=$!
trap 'kill "$load" 2>/dev/null || true; wait "$load" 2>/dev/null || true' EXIT

for run in 1 2; do
    echo "load check: run $run of 2, $(nproc) processors kept busy"
    ctest --test-dir "$build" -j8 --output-on-failure
done
echo "load check: the suite passed twice with every processor busy"
