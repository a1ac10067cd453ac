#!/bin/bash
# Builds everything and runs the whole test suite: unit, pseudo-terminal and
# end-to-end tests, natively and for the Windows build under Wine; then the
# native suite again built with AddressSanitizer and UndefinedBehaviorSanitizer,
# and every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build -j8 --output-on-failure

# The unit and native end-to-end tests under the sanitizers: no Windows cross
# build, so no Wine cases (and no Windows package to check).
cmake -S . -B build-asan -DZ80_SANITIZE=ON -DZ80_WINDOWS_PROGRAMS=OFF
cmake --build build-asan -j2
ctest --test-dir build-asan -j8 -E "Wine|wine_prefix|packaging" --output-on-failure

# Each fuzz target for 15 s from its seed corpus.
scripts/fuzz.sh 15
