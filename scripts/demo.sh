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

# Each command the demo runs is shown before it runs, as "$ command".
show() {
    echo
    echo "\$ $*"
}

# The build says it has begun and shows a dot for each target built; its
# full log is shown only when it fails.
echo "Building the programs and targetsim in build/ (about a minute the first time)"
log=$(mktemp)
if ! cmake -S . -B build >"$log" 2>&1; then
    cat "$log"
    exit 1
fi
(cmake --build build -j2 2>&1; echo "build status $?") | tee "$log" |
    awk '/Built target/ { printf "."; fflush() } END { print "" }'
if ! tail -n 1 "$log" | grep -q '^build status 0$'; then
    cat "$log"
    exit 1
fi
rm -f "$log"
echo "Built. Starting the simulated target on a pseudo-terminal."

work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
build/bin/targetsim --link "$work/port" --memory-out "$work/memory.bin" >"$work/sim.out" &
sim=$!
while [ ! -e "$work/port" ]; do sleep 0.1; done

status=0
show build/bin/Torvanex examples/hello.hex "$work/port"
build/bin/Torvanex examples/hello.hex "$work/port" || status=$?
# The normal way to load: load, then verify that the target holds the file.
show build/bin/Quilmark --verify examples/hello.hex "$work/port"
build/bin/Quilmark --verify examples/hello.hex "$work/port" || status=$?
typed=0
show build/bin/Ferrolt examples/hello.bas "$work/port"
build/bin/Ferrolt examples/hello.bas "$work/port" || typed=$?
kill "$sim"
wait "$sim" || true

# Compare with an independent reader of Intel HEX: objcopy.
echo
echo "The target's memory against examples/hello.hex, as objcopy reads it:"
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
echo
echo "The same on the emulated board (targetsim --cpu: a Z80 running the monitor firmware):"
build/bin/targetsim --cpu --link "$work/port" >"$work/cpu.out" &
sim=$!
while [ ! -e "$work/port" ]; do sleep 0.1; done
show build/bin/Torvanex examples/hello.hex "$work/port"
echo "(its transcript not shown)"
build/bin/Torvanex examples/hello.hex "$work/port" >/dev/null 2>&1 || status=$?
# The verify goes on to run the program (the monitor's go command) and shows
# what it prints, until its line has come.
ran=0
show build/bin/Quilmark --verify examples/hello.hex "$work/port" --send G8000 \
    --expect "'Hello from the host!'" --timeout 5
echo "(its last two lines)"
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
