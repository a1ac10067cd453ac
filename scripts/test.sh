#!/bin/bash
# Builds everything and runs the whole test suite: unit, pseudo-terminal and
# end-to-end tests, natively and for the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build -j8 --output-on-failure
