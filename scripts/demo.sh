#!/bin/sh
# Builds the suite, starts the simulated target on a pseudo-terminal, loads
# examples/hello.hex into it with Torvanex, verifies the load with Quilmark
# --verify, types examples/hello.bas into its BASIC with Ferrolt, and checks
# that the target's memory holds exactly the HEX file's data. Then it does the
# same load and verify on the emulated board (targetsim --cpu), where a real
# Z80 runs the monitor firmware, sends the go command G8000 and waits for
# the line the loaded program prints.
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

# The emulated board: the same file loaded and verified, then run.
if ! build/bin/targetsim --help | grep -q -- '--cpu'; then
    echo "This targetsim has no emulated board (built without libz80ex)"
    exit "$status"
fi
rm -f "$work/port"
build/bin/targetsim --cpu --link "$work/port" >"$work/cpu.out" &
sim=$!
while [ ! -e "$work/port" ]; do sleep 0.1; done
build/bin/Torvanex examples/hello.hex "$work/port" >/dev/null 2>&1 || status=$?
# The verify goes on to run the program (the monitor's go command) and shows
# what it prints, until its line has come.
ran=0
build/bin/Quilmark --verify examples/hello.hex "$work/port" --send G8000 \
    --expect 'Hello from the host!' --timeout 5 >"$work/ran" 2>/dev/null || ran=$?
tail -n 2 "$work/ran"
echo
kill "$sim"
wait "$sim" || true
if [ "$ran" -eq 0 ]; then
    echo "examples/hello.hex ran on the emulated board (G8000) and printed its line"
else
    echo "examples/hello.hex did NOT print its line on the emulated board"
    status=1
fi
exit "$status"
