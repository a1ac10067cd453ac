#!/bin/bash
# Builds the fuzz targets (fuzz/, clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs each for SECONDS seconds
# (default 15) from its seed corpus in fuzz/corpus. Any crash, leak, timeout
# or sanitizer report fails the run; the input that caused it is kept in
# build-fuzz/artifacts.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
build=build-fuzz

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

mkdir -p "$build/artifacts"
failed=0
passed=0
for target in record_file basic_text dump_text port_name net_port; do
    # A fresh working corpus each run: the seeds in the repo stay as they are.
    work="$build/corpus/$target"
    rm -rf "$work"
    mkdir -p "$work"
    log="$build/$target.log"
    if "$build/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz $target: passed, $runs runs in ${seconds} s"
        passed=$((passed + 1))
    else
        echo "fuzz $target: FAILED (log: $log)"
        tail -n 40 "$log"
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
((failed == 0))
