#!/bin/sh
# Builds the suite, starts the simulated target on a pseudo-terminal, loads
# examples/hello.hex into it with Torvanex, verifies the load with Quilmark
# --verify, types examples/hello.bas into its BASIC with Ferrolt, and checks
# that the target's memory holds exactly the HEX file's data.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
cmake -S . -B build >/dev/null
cmake --build build -j2 >/dev/null

work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
build/bin/targetsim --link "$work/port" --memory-out "$work/memory.bin" >"$work/sim.out" &
sim=$!
while [ ! -e "$work/port" ]; do sleep 0.1; done

status=0
build/bin/Torvanex examples/hello.hex "$work/port" || status=$?
# The normal way to load: load, then verify that the target holds the file.
build/bin/Quilmark --verify examples/hello.hex "$work/port" || status=$?
typed=0
build/bin/Ferrolt examples/hello.bas "$work/port" || typed=$?
kill "$sim"
wait "$sim" || true

# Compare with an independent reader of Intel HEX: objcopy.
objcopy -I ihex -O binary examples/hello.hex "$work/expected.bin"
size=$(wc -c <"$work/expected.bin")
dd if="$work/memory.bin" of="$work/loaded.bin" bs=1 skip=$((0x8000)) count="$size" 2>/dev/null
if cmp -s "$work/expected.bin" "$work/loaded.bin"; then
    echo "Target memory 8000..$(printf '%04X' $((0x8000 + size - 1))) matches examples/hello.hex"
else
    echo "Target memory does NOT match examples/hello.hex"
    status=1
fi
if [ "$typed" -eq 0 ]; then
    echo "examples/hello.bas typed into the target's BASIC, every echo checked"
else
    echo "Ferrolt ended with status $typed"
    status=1
fi
exit "$status"
