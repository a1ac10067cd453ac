#!/bin/bash
# Builds everything and runs the benchmark: each program on its reference
# workload against the simulated target at the pace of a 9600 8N2 line,
# natively and, when the Windows build and Wine are there, under Wine.
#
#   bench/run.sh [BUILD_DIR] [z80bench options, e.g. --runs 5 --hosts native]
#
# BUILD_DIR defaults to build-bench. The Wine prefix (BUILD_DIR/bench-wineprefix,
# about 700 MB) is made on the first run and kept; its wineserver is stopped
# at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-bench}
[ $# -gt 0 ] && shift
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target z80bench windows_programs 2>/dev/null ||
    cmake --build "$build" -j2 --target z80bench

prefix="$PWD/$build/bench-wineprefix"
wine_args=()
if [ -d "$build/win/bin" ] && command -v wine >/dev/null 2>&1; then
    if [ ! -f "$prefix/z80-ready" ]; then
        CI= sh launch/wine_prefix.sh setup "$prefix" "$PWD/$build/win/bin"
    fi
    if [ -f "$prefix/z80-ready" ]; then
        wine_args=(--win-bin "$PWD/$build/win/bin" --wine-prefix "$prefix")
        # The prefix's persistent wineserver is stopped however the run ends.
        trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true' EXIT
        WINEPREFIX="$prefix" WINEDEBUG=-all wineserver -p >/dev/null 2>&1 || true
    fi
fi
"$build/bin/z80bench" --bin "$PWD/$build/bin" "${wine_args[@]}" "$@"
